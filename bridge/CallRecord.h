#pragma once
// The one current Skype call: what is known of it. Where it stands is the handset's phase
// (bridge/HandsetPhase.h), which holds it.
#include <optional>
#include <string>

#include "skype/SkypeCommands.h"

// What the call still waits to hear of the other party. Its handle is asked first, then its display name; a
// client without display names answers that with an error, which is then the name's answer and no fault of
// the call. Once the handset asks something else of the call, an error may be that one's: the question is
// closed then, answered or not.
enum class PartyQuestion { Handle, DisplayName, Answered };

struct CallRecord {
    std::string callId;
    // The far end called (created on RINGING); else the call was placed (ROUTING). An incoming call goes
    // into the calls list at its end; a dialled one went in when it was dialled.
    bool incoming = false;
    std::string partnerHandle; // the dialable identity: what the calls list calls back
    std::string displayName;   // as the client names the other party; empty when it gives none
    std::string callerName;    // the contact the other party is, when one matched
    PartyQuestion asking = PartyQuestion::Handle;
    CallTag tag = NoCall; // carried by the commands about this call
    // When Skype put it in progress (0 without a clock); none before.
    std::optional<unsigned long long> inProgressSinceMs;
};
