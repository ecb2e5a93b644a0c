// The calls list on the handset, redial, the missed-call count and the length of a call: the keys they
// take are those that do nothing else while the handset is idle ('*' and the talk key).
#include <algorithm>
#include <cctype>

#include "bridge/CallBridge.h"
#include "bridge/CallerName.h"

namespace {

// How long the length of a call stays on the display.
constexpr unsigned CallTimeShownMs = 4000;
// How long after an unanswered call stopped ringing the talk key is taken as a late answer rather than a
// redial; the count of missed calls shows after it.
constexpr unsigned LateAnswerMs = 2000;

// SIP's convention for a caller who withholds the number (RFC 3323), as a SIP line reports it.
bool IsWithheld(const std::string& handle) {
    static const std::string anonymous = "anonymous";
    return handle.empty() ||
           std::equal(handle.begin(), handle.end(), anonymous.begin(), anonymous.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

} // namespace

std::string CallBridge::ShownCaller(const CallRecord& call) {
    if (!call.callerName.empty())
        return call.callerName;
    if (IsWithheld(call.partnerHandle))
        return WithheldText;
    return call.displayName.empty() ? call.partnerHandle : call.displayName;
}

std::string CallBridge::ListedName(const CallRecord& call) {
    if (!call.callerName.empty())
        return call.callerName;
    return IsWithheld(call.partnerHandle) ? std::string() : call.displayName;
}

bool CallBridge::RestoreCalls(const std::vector<std::string>& lines, unsigned unseenMissed) {
    return calls.Restore(lines, unseenMissed);
}

// '*' while idle: the newest call first. Looking at the list counts every missed call as seen. With no
// call yet the key does nothing, as before there was a list.
void CallBridge::OpenCallList() {
    const CallEntry* entry = calls.BrowseFirst();
    if (!entry)
        return;
    CallListChanged();
    ChangePhase(HandsetPhase::BrowsingCalls, "'*'");
    ShowCallEntry(entry);
}

void CallBridge::ShowCallEntry(const CallEntry* entry) {
    dialString = entry->target;
    Show(CallEntryText(*entry));
}

// '#' or the talk key on an entry: a withheld caller cannot be called back, so the list stays.
void CallBridge::CallShownEntry() {
    if (!dialString.empty())
        PlaceCall(dialString);
}

// The talk key while idle (not just after an unanswered call stopped ringing: then it was meant to answer
// that call). With nothing dialled yet it does nothing, as before.
void CallBridge::Redial() {
    const CallEntry* last = calls.LastDialled();
    if (!last || last->target.empty())
        return;
    std::string target = last->target; // placing the call adds to the list
    PlaceCall(target);
}

void CallBridge::RecordCall(CallKind kind, const std::string& target, const std::string& name, bool unseen) {
    // A caller's withheld number is kept as none; what the user dialled is kept as dialled. A name that only
    // repeats the handle is not kept twice.
    bool withheld = kind != CallKind::Dialled && IsWithheld(target);
    calls.Add(kind, withheld ? std::string() : target, name == target ? std::string() : name, unseen);
    CallListChanged();
}

// A call answered shows its length; an incoming one that was not answered is a missed call, counted
// unless the user turned it away at the handset, and for a moment the talk key is a late answer to it.
HandsetPhase CallBridge::AfterCallEnded(const CallRecord& call, bool turnedAway) {
    if (call.inProgressSinceMs) {
        if (call.incoming)
            RecordCall(CallKind::Answered, call.partnerHandle, ListedName(call));
        if (callListOwner) {
            Show(CallTimeText(callListOwner->NowMs() - *call.inProgressSinceMs));
            timers.StartTimer(BridgeTimer::Notice, CallTimeShownMs);
        }
        return HandsetPhase::Idle;
    }
    if (!call.incoming)
        return HandsetPhase::Idle;
    RecordCall(CallKind::Missed, call.partnerHandle, ListedName(call), !turnedAway);
    timers.StartTimer(BridgeTimer::Notice, LateAnswerMs);
    return HandsetPhase::RingEnded;
}

// The notice gives way to the idle display, if the handset is still idle.
void CallBridge::OnNoticeTimer() {
    if (current.phase == HandsetPhase::RingEnded)
        ChangePhase(HandsetPhase::Idle, "the pause for a late answer is over");
    else if (current.phase == HandsetPhase::KeysLost)
        ChangePhase(HandsetPhase::Idle, "a pause after the lost key");
    else if (current.phase == HandsetPhase::Idle)
        ShowIdleText();
}

// The idle display: the count of missed calls not looked at, else nothing.
void CallBridge::ShowIdleText() {
    unsigned missed = calls.UnseenMissed();
    Show(missed ? std::to_string(missed) + " missed" : std::string());
}

void CallBridge::CallListChanged() {
    if (callListOwner)
        callListOwner->CallListChanged(calls);
}
