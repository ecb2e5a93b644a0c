#pragma once
// The one current Skype call.
#include <string>

#include "skype/SkypeCommands.h"

// Answering: the handset took a ringing call and Skype has not yet put it in progress; it rings no more.
enum class CallStatus { Ringing, Routing, Answering, InProgress };

struct CallRecord {
    bool outgoing = false; // false: incoming, created on RINGING; true: outgoing, created on ROUTING
    std::string callId;
    std::string partnerHandle;
    std::string callerName; // the contact the other party is, when one matched
    CallStatus status = CallStatus::Ringing;
    bool hungUpOnHandset = false;         // the end key asked Skype to finish the call
    CallTag tag = NoCall;                 // carried by the commands about this call
    unsigned long long connectedAtMs = 0; // when it went in progress, for its length
};
