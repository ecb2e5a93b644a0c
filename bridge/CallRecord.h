#pragma once
// The one current Skype call: what is known of it. Where it stands is the handset's phase
// (bridge/HandsetPhase.h), which holds it.
#include <optional>
#include <string>

#include "skype/SkypeCommands.h"

struct CallRecord {
    std::string callId;
    // The far end called (created on RINGING); else the call was placed (ROUTING). An incoming call goes
    // into the calls list at its end; a dialled one went in when it was dialled.
    bool incoming = false;
    std::string partnerHandle;
    std::string callerName; // the contact the other party is, when one matched
    CallTag tag = NoCall;   // carried by the commands about this call
    // When Skype put it in progress (0 without a clock); none before.
    std::optional<unsigned long long> inProgressSinceMs;
};
