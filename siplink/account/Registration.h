#pragma once
// Whether the account is registered with the provider, and why not in plain words: fed with what SipLink
// asks of its phone and the phone's registration events, it decides when to register again after a
// failure (a growing pause, slower for a refusal) and whether the line may be offered (only while
// registered).
#include <cstdint>
#include <string>

#include "siplink/phone/Event.h"

class Registration {
  public:
    enum class State {
        NoAccount,   // no usable account is set up
        NoPhone,     // SipLink's phone could not start
        Registering, // asked, no answer yet
        Registered,
        Refused,     // the provider answered no (wrong password, unknown user, ...)
        Unreachable, // the provider did not answer, or the request could not go
    };

    void NoAccount(const std::string& problem);
    void NoPhone();
    // A new or changed account went to the phone at `nowMs`: the pauses start afresh.
    void Begin(uint32_t nowMs);
    // The phone was asked to register again at `nowMs` (a retry).
    void Requested(uint32_t nowMs);
    // The phone's registration event: its state, the SIP code and reason phrase (or the local error).
    void OnPhone(phone::Event::RegState now, int sipCode, const std::string& why, uint32_t nowMs);
    // A failed registration's pause is over: the phone should be asked again.
    bool RetryDue(uint32_t nowMs) const;

    State Current() const { return state; }
    bool Registered() const { return state == State::Registered; }
    // The SIP code of the last refusal (0 when none came with one).
    int Code() const { return code; }
    // The state in plain words, for the window.
    std::string Describe() const;
    // The state in a few words with the SIP code, for the notification area's tip ("not registered: wrong
    // password (SIP 403)").
    std::string Brief() const;

  private:
    void Fail(int sipCode, const std::string& why, uint32_t nowMs);

    State state = State::NoAccount;
    int code = 0;
    std::string reason; // the provider's or the phone's words for the last failure, or the account's problem
    unsigned failures = 0; // failures in a row: the pause before the next try grows with them
    uint32_t retryAt = 0;
};
