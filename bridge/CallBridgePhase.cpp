// The handset's phase: its one change, what entering a phase shows, the end of a call and the link's loss.
#include "bridge/CallBridge.h"

bool CallBridge::ChangePhase(HandsetPhase to, const std::string& why, std::unique_ptr<CallRecord> call) {
    HandsetPhase from = current.phase;
    if (to == from && !call)
        return false;
    // A call phase keeps the call it has, or is entered from a phase without one with a new call; a phase
    // without a call lets the call go.
    bool callFits = HasCall(to) ? (call ? !current.call : current.call != nullptr) : !call;
    if (to == from || !callFits || !PhaseChangeAllowed(from, to)) {
        if (phaseWatcher)
            phaseWatcher->PhaseRefused(from, to, why);
        return false;
    }
    if (call)
        current.call = std::move(call);
    else if (!HasCall(to))
        current.call.reset();
    current.phase = to;
    if (phaseWatcher)
        phaseWatcher->PhaseChanged(from, to, why);
    EnterPhase(from, to);
    return true;
}

// What entering a phase shows on the handset, and what it starts afresh.
void CallBridge::EnterPhase(HandsetPhase from, HandsetPhase to) {
    switch (to) {
    case HandsetPhase::Idle:
        if (from == HandsetPhase::BrowsingCalls || from == HandsetPhase::KeysLost ||
            from == HandsetPhase::RingEnded)
            ShowIdleText();
        break;
    case HandsetPhase::KeysLost:
        Show("Key lost");
        break;
    case HandsetPhase::EnteringNumber:
        dialString.clear(); // a new number: one dialled before and left to Skype is not part of it
        break;
    case HandsetPhase::Dialling:
        Show(">" + dial.target);
        break;
    case HandsetPhase::Answering:
        Show(PartyText(*current.call));
        break;
    case HandsetPhase::Talking:
        // Answered at the PC rather than on the handset: the handset is brought into the call.
        if (from == HandsetPhase::Ringing || from == HandsetPhase::RoutingWithoutHandset) {
            Show(PartyText(*current.call));
            handset.Do([](Handset& h) { h.ConnectHandset(); });
        }
        handset.Do([](Handset& h) { h.SetCallIndicator(true); });
        break;
    default:
        break;
    }
}

// A terminal status of the current call. The handset is released when it is in the call or rings; one that
// hung up or never joined is left alone unless Skype reports a failure rather than the finish. A call that
// never went in progress is connected first and released a moment later. What the call still had waiting
// for Skype is not sent.
void CallBridge::EndCall(const std::string& status, bool linkLost) {
    const CallRecord& call = *current.call;
    HandsetPhase phase = current.phase;
    bool handsetInCall = phase == HandsetPhase::Routing || phase == HandsetPhase::Ringing ||
                         phase == HandsetPhase::Answering || phase == HandsetPhase::Talking;
    if (handsetInCall || status != "FINISHED") {
        if (!call.inProgressSinceMs)
            handset.ConnectThenRelease();
        else
            handset.Do([](Handset& h) { h.ReleaseHandset(); });
    }
    skype.DropSkypeCommands(call.tag);
    handset.Do([](Handset& h) { h.SetCallIndicator(false); });
    HandsetPhase next = AfterCallEnded(call, phase == HandsetPhase::HangingUp);
    dialString.clear();
    if (linkLost)
        ChangePhase(HandsetPhase::Idle, "the link to Skype is lost");
    else
        ChangePhase(next, "the call ended: " + status);
}

// The calls end as if the far end had hung up; a number dialled but not yet named is given up whether its
// CALL left or not, since the Skype that could name it is gone. Commands of no call (the contacts) stay
// for the next Skype.
void CallBridge::OnLinkLost() {
    if (current.call)
        EndCall("FINISHED", true);
    else if (current.phase == HandsetPhase::Dialling)
        handset.ConnectThenRelease();
    if (dial.stage == DialAtSkype::Stage::Waiting)
        skype.DropSkypeCommands(dial.tag);
    dial = DialAtSkype();
    finishingCallId.clear();
    dialString.clear();
    ChangePhase(HandsetPhase::Idle, "the link to Skype is lost");
}

void CallBridge::Show(const std::string& text) {
    handset.Do([text](Handset& h) { h.ShowOnHandset(text); });
}
