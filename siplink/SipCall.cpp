#include "siplink/SipCall.h"

#include <cctype>

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

std::string EndReason(const std::string& reason) {
    if (reason.empty())
        return "the agent gave no reason";
    if (reason == "Connection reset by user")
        return "hung up here";
    if (reason == "Connection reset by peer")
        return "hung up by the far end";
    // What a far end or provider sending malformed SIP, or none, ends in.
    if (reason == "Bad message")
        return "the far end's SIP could not be read (" + reason + ")";
    if (reason == "Connection timed out" || reason.rfind("408", 0) == 0)
        return "no answer to the call's SIP in time (" + reason + ")";
    bool code = reason.size() > 3 && std::isdigit(static_cast<unsigned char>(reason[0])) &&
                std::isdigit(static_cast<unsigned char>(reason[1])) &&
                std::isdigit(static_cast<unsigned char>(reason[2])) && reason[3] == ' ';
    return code ? "the far end or the provider answered " + reason : reason;
}

std::string LostStatus(const SipCall& call) {
    // A ringing incoming call has not reached the handset's line: MISSED makes the program stop its ring.
    return call.outgoing || call.state == SipCall::InProgress || call.endAsked ? "FINISHED" : "MISSED";
}
