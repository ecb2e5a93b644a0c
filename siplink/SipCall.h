#pragma once
// One call as the program knows it, tied to the user agent's call, and the rule that names its end.
#include <string>

struct SipCall {
    enum State { Dialling, Ringing, InProgress };

    std::string id;      // ours: a small number, as the program sees it
    std::string agentId; // the agent's; empty while a dialled call has not shown it yet
    bool outgoing = false;
    State state = Dialling; // Dialling: outgoing, the far end not ringing yet
    bool endAsked = false;  // the program asked to end it (hang up or refuse)
    std::string partner;    // the other party's handle
};

// The status the program is told when the agent closes the call; `reason` is the agent's text
// ("Connection reset by peer", "486 Busy Here", "404 Not Found", "Connection timed out", ...).
std::string ClosedStatus(const SipCall& call, const std::string& reason);
// The status the program is told when the agent is gone with the call.
std::string LostStatus(const SipCall& call);
