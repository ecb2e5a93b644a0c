#include "siplink/account/Registration.h"

#include <algorithm>
#include <cctype>

namespace {

// A provider that answers no is asked again seldom (it may lock an account that tries too often); one
// that cannot be reached, soon.
constexpr uint32_t RefusedFirstPauseMs = 60000;
constexpr uint32_t UnreachableFirstPauseMs = 2000;
constexpr uint32_t LongestPauseMs = 600000;

// The SIP code an agent's failure text starts with ("403 Forbidden"); 0 when none.
int CodeOf(const std::string& param) {
    if (param.size() < 3 ||
        !std::all_of(param.begin(), param.begin() + 3, [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    if (param.size() > 3 && param[3] != ' ')
        return 0;
    int value = std::stoi(param.substr(0, 3));
    return value >= 300 && value < 700 ? value : 0;
}

} // namespace

void Registration::NoAccount(const std::string& problem) {
    state = State::NoAccount;
    reason = problem;
    code = 0;
}

void Registration::NoAgent() {
    state = State::NoAgent;
    code = 0;
}

void Registration::AgentDown() {
    state = State::AgentDown;
    code = 0;
}

void Registration::Requested(uint32_t nowMs) {
    state = State::Registering;
    retryAt = nowMs;
}

void Registration::OnEvent(const std::string& type, const std::string& param, uint32_t nowMs) {
    if (state == State::NoAccount || state == State::NoAgent)
        return;
    if (type == "REGISTER_OK") {
        state = State::Registered;
        code = 0;
        failures = 0;
    } else if (type == "REGISTER_FAIL") {
        Fail(param, nowMs);
    } else if (type == "REGISTERING" && state != State::Registered) {
        // A refresh while registered keeps the line; a first try or a retry is under way.
        state = State::Registering;
    }
}

void Registration::Fail(const std::string& param, uint32_t nowMs) {
    code = CodeOf(param);
    reason = param.empty() ? "no answer" : param;
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
    case State::NoAgent:
        return "The SIP user agent (baresip) was not found. Put baresip.exe beside SipLink.exe, or give "
               "its path in the SIP account window.";
    case State::AgentDown:
        return "Starting the SIP user agent.";
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
    case State::NoAgent:
        return "the SIP user agent (baresip) was not found";
    case State::AgentDown:
        return "starting the SIP user agent";
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
