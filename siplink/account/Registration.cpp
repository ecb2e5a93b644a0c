#include "siplink/account/Registration.h"

#include <algorithm>

namespace {

// A provider that answers no is asked again seldom (it may lock an account that tries too often); one
// that cannot be reached, soon.
constexpr uint32_t RefusedFirstPauseMs = 60000;
constexpr uint32_t UnreachableFirstPauseMs = 2000;
constexpr uint32_t LongestPauseMs = 600000;

} // namespace

void Registration::NoAccount(const std::string& problem) {
    state = State::NoAccount;
    reason = problem;
    code = 0;
}

void Registration::NoPhone() {
    state = State::NoPhone;
    code = 0;
}

void Registration::Begin(uint32_t nowMs) {
    failures = 0;
    Requested(nowMs);
}

void Registration::Requested(uint32_t nowMs) {
    state = State::Registering;
    retryAt = nowMs;
}

void Registration::OnPhone(phone::Event::RegState now, int sipCode, const std::string& why, uint32_t nowMs) {
    using RegState = phone::Event::RegState;
    if (state == State::NoAccount || state == State::NoPhone)
        return;
    switch (now) {
    case RegState::Registered:
        state = State::Registered;
        code = 0;
        failures = 0;
        break;
    case RegState::Registering:
        // A refresh while registered keeps the line; a first try or a retry is under way.
        if (state != State::Registered)
            state = State::Registering;
        break;
    case RegState::Refused:
    case RegState::Unreachable:
        Fail(sipCode, why, nowMs);
        break;
    case RegState::Unregistered:
        // Not asked for (SipLink unregisters only an account it no longer has): tried again like a failure.
        Fail(0, why.empty() ? "not registered" : why, nowMs);
        break;
    }
}

void Registration::Fail(int sipCode, const std::string& why, uint32_t nowMs) {
    code = sipCode >= 300 && sipCode < 700 ? sipCode : 0;
    reason = code ? std::to_string(code) + (why.empty() ? "" : " " + why) : why.empty() ? "no answer" : why;
    // 408 and 5xx/6xx without a final word from the user's provider are taken as "not reachable".
    bool refused = code != 0 && code != 408 && code < 500;
    state = refused ? State::Refused : State::Unreachable;
    uint32_t pause = refused ? RefusedFirstPauseMs : UnreachableFirstPauseMs;
    for (unsigned i = 0; i < failures && pause < LongestPauseMs; ++i)
        pause *= 2;
    ++failures;
    retryAt = nowMs + std::min(pause, LongestPauseMs);
}

bool Registration::RetryDue(uint32_t nowMs) const {
    return (state == State::Refused || state == State::Unreachable) && int32_t(nowMs - retryAt) >= 0;
}

std::string Registration::Describe() const {
    switch (state) {
    case State::NoAccount:
        return "No SIP account is set up: " + reason +
               " Open \"SIP account\" in the Start menu (SipLink.exe --settings).";
    case State::NoPhone:
        return "SipLink's SIP phone could not start (no network socket could be opened). Restart SipLink.";
    case State::Registering:
        return "Registering with the provider.";
    case State::Registered:
        return "Registered with the provider: the line is ready.";
    case State::Refused:
        if (code == 401 || code == 403 || code == 407)
            return "Not registered: the provider refused the password (" + reason +
                   "). Check the password in the SIP account window.";
        if (code == 404)
            return "Not registered: the provider does not know this user (" + reason +
                   "). Check the SIP address in the SIP account window.";
        return "Not registered: the provider refused the account (" + reason + "). SipLink tries again.";
    case State::Unreachable:
        return "Not registered: the provider cannot be reached (" + reason +
               "). SipLink tries again by itself.";
    }
    return "";
}

std::string Registration::Brief() const {
    std::string sipCode = code ? " (SIP " + std::to_string(code) + ")" : "";
    switch (state) {
    case State::NoAccount:
        return "no SIP account is set up";
    case State::NoPhone:
        return "the SIP phone could not start";
    case State::Registering:
        return "registering with the provider";
    case State::Registered:
        return "registered";
    case State::Refused:
        if (code == 401 || code == 403 || code == 407)
            return "not registered: wrong password" + sipCode;
        if (code == 404)
            return "not registered: unknown user" + sipCode;
        return "not registered: the provider refused the account" + sipCode;
    case State::Unreachable:
        return "not registered: provider not reachable" + sipCode + ", trying again";
    }
    return "";
}
