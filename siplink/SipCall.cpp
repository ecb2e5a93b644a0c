#include "siplink/SipCall.h"

std::string ClosedStatus(const SipCall& call, const std::string& reason) {
    // The program's own end, and every end of a call that was talking, is FINISHED: the program then
    // releases the handset only if it is still in the call.
    if (call.endAsked || call.state == SipCall::InProgress)
        return "FINISHED";
    if (!call.outgoing)
        return "MISSED";
    if (reason.rfind("486", 0) == 0)
        return "BUSY";
    if (reason.rfind("603", 0) == 0)
        return "REFUSED";
    return "FAILED";
}

std::string LostStatus(const SipCall& call) {
    // A ringing incoming call has not reached the handset's line: MISSED makes the program stop its ring.
    return call.outgoing || call.state == SipCall::InProgress || call.endAsked ? "FINISHED" : "MISSED";
}
