#pragma once
// One call as the program knows it, tied to the user agent's call, and the rules that name its end.
#include <string>

struct SipCall {
    // The program sees a call in the first three states. The others are calls whose end it has been
    // told: kept while the agent may still have them, so that their events are known and never taken
    // for another call's, and afterwards for a while so that a late command about them is answered.
    enum State {
        Dialling,   // outgoing, the far end not ringing yet
        Ringing,    // incoming and not answered, or outgoing and the far end ringing
        InProgress, // talking
        Abandoned,  // ended for the program first: hung up at the agent as soon as it can be named there
        Orphaned,   // ended for the program when the connection dropped: hung up once connected again
        Ended,      // gone at the agent too
    };

    std::string id;      // ours: a small number, as the program sees it; empty for a caller turned away
    std::string agentId; // the agent's; empty while a dialled call has not shown it yet
    bool outgoing = false;
    State state = Dialling;
    bool endAsked = false; // the program asked to end it (hang up or refuse), or a hang-up went
    std::string partner;   // the other party's name, as the program is told it
    std::string peerUri;   // a dialled call: where the agent placed it, once it has said
    std::string endStatus; // the last status the program was told, once it has ended for the program
};

// The program sees the call: it may still command it.
inline bool ForProgram(const SipCall& call) {
    return call.state == SipCall::Dialling || call.state == SipCall::Ringing ||
           call.state == SipCall::InProgress;
}

// The status the program is told when the agent closes the call; `reason` is the agent's text
// ("Connection reset by peer", "486 Busy Here", "404 Not Found", "Connection timed out", ...).
std::string ClosedStatus(const SipCall& call, const std::string& reason);
// The agent's reason for a call's end in plain words for the log, its own text kept beside them.
std::string EndReason(const std::string& reason);
// The status the program is told when the agent is gone with the call.
std::string LostStatus(const SipCall& call);
