// Skype's notifications: the current call and the contact list.
#include "bridge/CallBridge.h"
#include "bridge/CallerName.h"

namespace {

constexpr unsigned RingRepeatMs = 2000;
constexpr unsigned FirstContactsRequestMs = 5000;
constexpr unsigned ContactsRefreshMs = 360000;

bool IsTerminalStatus(const std::string& status) {
    return status == "FINISHED" || status == "FAILED" || status == "MISSED" || status == "REFUSED" ||
           status == "BUSY" || status == "CANCELLED";
}

// A refusal is about a call: it gets a tag of its own, so that it leaves before queued contact traffic.
std::string RefuseCommand(const std::string& callId) {
    return "SET CALL " + callId + " STATUS FINISHED";
}

} // namespace

CallBridge::CallBridge(SkypeCommands& skype, Handset& handset, BridgeTimers& timers,
                       const DialSettings& settings)
    : skype(skype), handset(handset, timers), timers(timers), settings(settings) {}

// Words count from 0 here: words[0] is the notification's first word. Each rule first makes sure that every
// word it reads is there: a shorter notification is ignored.
void CallBridge::HandleSkypeNotification(const std::string& text) {
    ApiLine words(text);
    const std::string& first = words[0];
    if (first == "CALL") {
        OnCallNotification(words);
    } else if (first == "USERS") {
        OnUsers(words);
    } else if (first == "USER") {
        if (words.Size() >= 4 && words[2] == "ONLINESTATUS")
            contacts.SetOnlineStatus(words[1], words[3]);
    } else if (first == "ERROR") {
        OnError(words);
    } else if (first == "USERSTATUS" || first == "CONNSTATUS") {
        if (words.Size() >= 2 && words[1] == "LOGGEDOUT")
            skype.QueueSkypeCommand("GET USERSTATUS");
    }
}

void CallBridge::OnTimer(BridgeTimer timer) {
    switch (timer) {
    case BridgeTimer::Contacts:
        OnContactsTimer();
        break;
    case BridgeTimer::Ring:
        OnRingTimer();
        break;
    case BridgeTimer::Release:
        handset.OnReleaseTimer();
        break;
    case BridgeTimer::Notice:
        OnNoticeTimer();
        break;
    }
}

void CallBridge::OnDeviceStarted() {
    timers.StartTimer(BridgeTimer::Contacts, FirstContactsRequestMs);
    if (calls.UnseenMissed() && IsIdle(current.phase))
        ShowIdleText();
}

// CALL {id} {property} {value}: every rule reads four words, but the display name, which is the rest of the
// text and may be empty. An empty id (a doubled blank) names no call.
void CallBridge::OnCallNotification(const ApiLine& words) {
    bool displayName = words[2] == "PARTNER_DISPNAME";
    if (words.Size() < (displayName ? 3u : 4u) || words[1].empty())
        return;
    const std::string& id = words[1];
    const std::string& property = words[2];
    const std::string& value = words[3];
    bool statusNotice = property == "STATUS";
    if (id == finishingCallId) {
        if (statusNotice && IsTerminalStatus(value))
            finishingCallId.clear();
        return;
    }
    bool isCurrent = current.call && current.call->callId == id;
    if (!isCurrent) {
        if (statusNotice && value == "ROUTING") {
            OnRouting(id);
        } else if (statusNotice && value == "RINGING") {
            // One call at a time, and none while the handset is busy entering a number or browsing.
            bool busy = current.call || current.phase == HandsetPhase::EnteringNumber ||
                        current.phase == HandsetPhase::BrowsingContacts;
            if (busy)
                skype.QueueSkypeCommand(RefuseCommand(id), ++lastTag);
            else
                StartCall(id, true, HandsetPhase::Ringing);
        }
        return;
    }
    if (statusNotice)
        OnCallStatus(value);
    else if (property == "PARTNER_HANDLE")
        OnPartnerHandle(value);
    else if (displayName)
        OnPartnerName(words.From(3));
}

// A call Skype routes: the handset's dialled call when its CALL waits to be named, the one the handset gave
// up (finished at once), or a call placed at the PC.
void CallBridge::OnRouting(const std::string& callId) {
    if (dial.stage == DialAtSkype::Stage::GivenUp) {
        dial = DialAtSkype();
        finishingCallId = callId;
        skype.QueueSkypeCommand(RefuseCommand(callId), ++lastTag);
        return;
    }
    // Named now, the handset's call is given up later as a plain hang-up of the current call.
    dial = DialAtSkype();
    if (current.call) {
        // One call at a time: a second one is turned away, the current one goes on.
        skype.QueueSkypeCommand(RefuseCommand(callId), ++lastTag);
        return;
    }
    bool dialled = current.phase == HandsetPhase::Dialling;
    StartCall(callId, false, dialled ? HandsetPhase::Routing : HandsetPhase::RoutingWithoutHandset);
}

void CallBridge::StartCall(const std::string& callId, bool incoming, HandsetPhase phase) {
    auto call = std::make_unique<CallRecord>();
    call->callId = callId;
    call->incoming = incoming;
    call->tag = ++lastTag;
    CallTag tag = call->tag;
    if (!ChangePhase(phase, incoming ? "a call rings" : "a call is routed", std::move(call)))
        return;
    skype.QueueSkypeCommand("GET CALL " + callId + " PARTNER_HANDLE", tag);
    skype.QueueSkypeCommand("GET CALL " + callId + " PARTNER_DISPNAME", tag);
}

void CallBridge::OnCallStatus(const std::string& status) {
    if (IsTerminalStatus(status))
        EndCall(status);
    else if (status == "INPROGRESS")
        OnInProgress();
    dialString.clear();
}

// Once only: a call that is in progress again after a hold changes nothing. A handset that hung up stays
// out of the call, which Skype is about to end.
void CallBridge::OnInProgress() {
    CallRecord& call = *current.call;
    if (call.inProgressSinceMs)
        return;
    call.inProgressSinceMs = callListOwner ? callListOwner->NowMs() : 0;
    if (current.phase != HandsetPhase::HangingUp)
        ChangePhase(HandsetPhase::Talking, "Skype put the call in progress");
}

// The handle is what the call is: what a contact matches and what the calls list calls back.
void CallBridge::OnPartnerHandle(const std::string& handle) {
    CallRecord& call = *current.call;
    call.partnerHandle = handle;
    call.callerName = CallerName(contacts, handle, settings.CountryCode());
    if (call.asking == PartyQuestion::Handle)
        call.asking = PartyQuestion::DisplayName;
    ShowParty();
}

// The name only changes what is shown, and only once the handle is known; blanks around it are no name.
void CallBridge::OnPartnerName(const std::string& name) {
    CallRecord& call = *current.call;
    std::string shownBefore = PartyText(call);
    size_t first = name.find_first_not_of(' ');
    size_t last = name.find_last_not_of(' ');
    call.displayName = first == std::string::npos ? std::string() : name.substr(first, last + 1 - first);
    bool handleKnown = call.asking != PartyQuestion::Handle;
    call.asking = PartyQuestion::Answered;
    if (handleKnown && PartyText(call) != shownBefore)
        ShowParty();
}

std::string CallBridge::PartyText(const CallRecord& call) const {
    switch (current.phase) {
    case HandsetPhase::Routing:
    case HandsetPhase::RoutingWithoutHandset:
        return ">" + (call.displayName.empty() ? call.partnerHandle : call.displayName);
    case HandsetPhase::Ringing:
        return ShownCaller(call);
    case HandsetPhase::Answering:
    case HandsetPhase::Talking:
        return "*" + ShownCaller(call);
    default:
        return std::string();
    }
}

void CallBridge::ShowParty() {
    std::string text = PartyText(*current.call);
    if (current.phase == HandsetPhase::Ringing) {
        handset.Do([text](Handset& h) { h.RingHandset(text); });
        timers.StartTimer(BridgeTimer::Ring, RingRepeatMs);
    } else if (!text.empty()) {
        Show(text);
    }
}

// USERS {name}, {name}, ...: the answer to SEARCH FRIENDS. An empty piece (a doubled or trailing blank, a
// lone comma) names nobody.
void CallBridge::OnUsers(const ApiLine& words) {
    std::vector<std::string> names;
    for (size_t i = 1; i < words.Size(); ++i) {
        std::string name = words[i];
        if (!name.empty() && name.back() == ',')
            name.pop_back();
        if (!name.empty())
            names.push_back(name);
    }
    for (const std::string& name : contacts.Add(names)) {
        skype.QueueSkypeCommand("GET USER " + name + " ONLINESTATUS");
        timers.StartTimer(BridgeTimer::Contacts, ContactsRefreshMs);
    }
}

// ERROR {n} ...: Skype could not do what was asked; the handset shows the number and is released. The
// phase and its call stay.
void CallBridge::OnError(const ApiLine& words) {
    if (words.Size() < 2 || words[1] == "24")
        return;
    // While the call's display name is the only answer awaited, an error is that answer: the client has no
    // display names, and the call goes on with its handle.
    if (current.call && current.call->asking == PartyQuestion::DisplayName) {
        current.call->asking = PartyQuestion::Answered;
        return;
    }
    dialString.clear();
    Show(words[1]);
    handset.Do([](Handset& h) { h.SetCallIndicator(false); });
    handset.Do([](Handset& h) { h.ReleaseHandset(); });
}

// The list is asked for at every expiry and each answer merged into it, so that a contact added at Skype
// reaches the handset in the same run. A request the link has not sent yet (Skype away) is replaced.
void CallBridge::OnContactsTimer() {
    skype.DropSkypeCommands(contactsRequest);
    skype.QueueSkypeCommand("SEARCH FRIENDS", contactsRequest);
    timers.StartTimer(BridgeTimer::Contacts, ContactsRefreshMs);
}

void CallBridge::OnRingTimer() {
    if (current.phase != HandsetPhase::Ringing)
        return;
    std::string caller = ShownCaller(*current.call);
    handset.Do([caller](Handset& h) { h.RingHandset(caller); });
    timers.StartTimer(BridgeTimer::Ring, RingRepeatMs);
}
