#pragma once
// Whether the account is registered with the provider, and why not in plain words: fed with what SipLink
// does with its agent and the agent's register events, it decides when to register again after a failure
// (a growing pause) and whether the line is offered to the program (only while registered).
#include <cstdint>
#include <string>

class Registration {
  public:
    enum class State {
        NoAccount,   // no usable account is set up
        NoAgent,     // the agent program is not there
        AgentDown,   // the agent is starting or has ended
        Registering, // asked, no answer yet
        Registered,
        Refused,     // the provider answered no (wrong password, unknown user, ...)
        Unreachable, // the provider did not answer, or the request could not go
    };

    void NoAccount(const std::string& problem);
    void NoAgent();
    void AgentDown();
    // The account went to the agent (again) at `nowMs`.
    void Requested(uint32_t nowMs);
    // A register event of the agent: REGISTERING, REGISTER_OK, REGISTER_FAIL, UNREGISTERING.
    void OnEvent(const std::string& type, const std::string& param, uint32_t nowMs);
    // A failed registration's pause is over: the account should go to the agent again.
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
    void Fail(const std::string& param, uint32_t nowMs);

    State state = State::AgentDown;
    int code = 0;
    std::string reason;    // the agent's words for the last failure, or the account's problem
    unsigned failures = 0; // failures in a row: the pause before the next try grows with them
    uint32_t retryAt = 0;
};
