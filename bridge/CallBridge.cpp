// Skype's notifications: the current call and the contact list.
#include "bridge/CallBridge.h"
#include "bridge/CallerName.h"

namespace {

constexpr unsigned RingRepeatMs = 2000;
constexpr unsigned FirstContactsRequestMs = 5000;
constexpr unsigned ContactsRefreshMs = 360000;

// Every blank separates two words, so two blanks in a row or a blank at either end give empty words.
std::vector<std::string> SplitAtBlanks(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    for (;;) {
        size_t blank = text.find(' ', start);
        if (blank == std::string::npos) {
            words.push_back(text.substr(start));
            return words;
        }
        words.push_back(text.substr(start, blank - start));
        start = blank + 1;
    }
}

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
    : skype(skype), handset(handset), timers(timers), settings(settings) {}

// Words are numbered from 1 as Skype's texts are read; words[0] is word 1. Each rule first makes sure that
// every word it reads is there: a shorter notification is ignored.
void CallBridge::HandleSkypeNotification(const std::string& text) {
    Words words = SplitAtBlanks(text);
    const std::string& first = words[0];
    if (first == "CALL") {
        OnCallNotification(words);
    } else if (first == "USERS") {
        OnUsers(words);
    } else if (first == "USER") {
        if (words.size() >= 4 && words[2] == "ONLINESTATUS")
            contacts.SetOnlineStatus(words[1], words[3]);
    } else if (first == "ERROR") {
        OnError(words);
    } else if (first == "USERSTATUS" || first == "CONNSTATUS") {
        if (words.size() >= 2 && words[1] == "LOGGEDOUT")
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
        OnReleaseTimer();
        break;
    case BridgeTimer::Notice:
        OnNoticeTimer();
        break;
    }
}

void CallBridge::OnDeviceStarted() {
    timers.StartTimer(BridgeTimer::Contacts, FirstContactsRequestMs);
    if (calls.UnseenMissed() && dialState == Idle && !currentCall)
        ShowIdleText();
}

// The calls end as if the far end had hung up; a number dialled but not yet named is given up whether its
// CALL left or not, since the Skype that could name it is gone. Commands of no call (the contacts) stay
// for the next Skype.
void CallBridge::OnLinkLost() {
    if (currentCall)
        EndCall("FINISHED");
    else if (dialState == InCall)
        ConnectThenRelease();
    skype.DropSkypeCommands(dialTag);
    dialTag = NoCall;
    finishWhenRouted = false;
    abandonedCallId.clear();
    dialState = Idle;
    dialString.clear();
}

// CALL {id} {property} {value}: every rule reads four words. An empty id (a doubled blank) names no call.
void CallBridge::OnCallNotification(const Words& words) {
    if (words.size() < 4 || words[1].empty())
        return;
    const std::string& id = words[1];
    const std::string& property = words[2];
    const std::string& value = words[3];
    bool statusNotice = property == "STATUS";
    if (id == abandonedCallId) {
        if (statusNotice && IsTerminalStatus(value))
            abandonedCallId.clear();
        return;
    }
    bool notCurrent = !currentCall || currentCall->callId != id;
    if (finishWhenRouted && notCurrent && statusNotice && value == "ROUTING") {
        finishWhenRouted = false;
        abandonedCallId = id;
        skype.QueueSkypeCommand(RefuseCommand(id), ++lastTag);
        return;
    }
    if (!currentCall) {
        if (!statusNotice)
            return;
        if (value == "RINGING") {
            // The handset is busy entering a number or browsing: it cannot take a call now.
            if (dialState == EnteringNumber || dialState == BrowsingContacts) {
                skype.QueueSkypeCommand(RefuseCommand(id), ++lastTag);
            } else {
                // A call rings through the calls list, as through any phone's menu.
                if (dialState == BrowsingCalls)
                    dialState = Idle;
                StartCall(id, CallStatus::Ringing);
            }
        } else if (value == "ROUTING") {
            StartCall(id, CallStatus::Routing);
        }
        return;
    }
    if (currentCall->callId != id) {
        // One call at a time: a second one is turned away, the current one goes on.
        if (statusNotice && (value == "RINGING" || value == "ROUTING"))
            skype.QueueSkypeCommand(RefuseCommand(id), ++lastTag);
        return;
    }
    if (statusNotice)
        OnCallStatus(value);
    else if (property == "PARTNER_HANDLE")
        OnPartnerHandle(value);
}

void CallBridge::StartCall(const std::string& callId, CallStatus status) {
    currentCall = std::make_unique<CallRecord>();
    currentCall->outgoing = status == CallStatus::Routing;
    currentCall->callId = callId;
    currentCall->status = status;
    currentCall->tag = ++lastTag;
    // A routed call is the one the handset dialled, if any: it is named now, so giving it up later is a
    // plain hang-up of the current call.
    if (currentCall->outgoing)
        dialTag = NoCall;
    skype.QueueSkypeCommand("GET CALL " + callId + " PARTNER_HANDLE", currentCall->tag);
}

void CallBridge::OnCallStatus(const std::string& status) {
    CallRecord& call = *currentCall;
    if (IsTerminalStatus(status)) {
        EndCall(status);
    } else if (status == "INPROGRESS" && call.status != CallStatus::InProgress) {
        call.status = CallStatus::InProgress;
        if (callListOwner)
            call.connectedAtMs = callListOwner->NowMs();
        // Answered at the PC rather than on the handset: bring the handset into the call.
        if (dialState != InCall) {
            std::string shown = "*" + ShownCaller(call);
            ToHandset([shown](Handset& h) { h.ShowOnHandset(shown); });
            ToHandset([](Handset& h) { h.ConnectHandset(); });
            dialState = InCall;
        }
        ToHandset([](Handset& h) { h.SetCallIndicator(true); });
    }
    dialString.clear();
}

void CallBridge::OnPartnerHandle(const std::string& handle) {
    CallRecord& call = *currentCall;
    call.partnerHandle = handle;
    call.callerName = CallerName(contacts, handle, settings.CountryCode());
    if (call.outgoing) {
        std::string shown = ">" + handle;
        ToHandset([shown](Handset& h) { h.ShowOnHandset(shown); });
        return;
    }
    std::string caller = ShownCaller(call);
    ToHandset([caller](Handset& h) { h.RingHandset(caller); });
    timers.StartTimer(BridgeTimer::Ring, RingRepeatMs);
}

// A terminal status of the current call. The handset is left alone only when it hung up by itself first;
// a call that never went in progress is connected first and released a moment later. What the call still
// had waiting for Skype is not sent.
void CallBridge::EndCall(const std::string& status) {
    const CallRecord& call = *currentCall;
    // A caller who gives up before anyone answers ends with FINISHED too; the handset still rings then and
    // must be released like after any other unanswered call.
    bool stillRinging = !call.outgoing && call.status == CallStatus::Ringing && !call.hungUpOnHandset;
    if (dialState == InCall || status != "FINISHED" || stillRinging) {
        if (call.status != CallStatus::InProgress)
            ConnectThenRelease();
        else
            ToHandset([](Handset& h) { h.ReleaseHandset(); });
        dialState = Idle;
    }
    skype.DropSkypeCommands(call.tag);
    ToHandset([](Handset& h) { h.SetCallIndicator(false); });
    AfterCallEnded(call);
    currentCall.reset();
    dialString.clear();
}

// USERS {name}, {name}, ...: the answer to SEARCH FRIENDS. An empty piece (a doubled or trailing blank, a
// lone comma) names nobody.
void CallBridge::OnUsers(const Words& words) {
    Words names;
    for (size_t i = 1; i < words.size(); ++i) {
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
// call record and the dialling state stay.
void CallBridge::OnError(const Words& words) {
    if (words.size() < 2 || words[1] == "24")
        return;
    dialString.clear();
    std::string shown = words[1];
    ToHandset([shown](Handset& h) { h.ShowOnHandset(shown); });
    ToHandset([](Handset& h) { h.SetCallIndicator(false); });
    ToHandset([](Handset& h) { h.ReleaseHandset(); });
}

// The list is asked for at every expiry and each answer merged into it, so that a contact added at Skype
// reaches the handset in the same run. A request the link has not sent yet (Skype away) is replaced.
void CallBridge::OnContactsTimer() {
    skype.DropSkypeCommands(contactsRequest);
    skype.QueueSkypeCommand("SEARCH FRIENDS", contactsRequest);
    timers.StartTimer(BridgeTimer::Contacts, ContactsRefreshMs);
}

void CallBridge::OnRingTimer() {
    if (!currentCall || currentCall->outgoing || currentCall->status != CallStatus::Ringing)
        return;
    std::string caller = ShownCaller(*currentCall);
    ToHandset([caller](Handset& h) { h.RingHandset(caller); });
    timers.StartTimer(BridgeTimer::Ring, RingRepeatMs);
}
