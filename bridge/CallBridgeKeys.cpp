// Handset events: dialling, tones, answering, hanging up and browsing the contacts.
#include "bridge/CallBridge.h"
#include "bridge/CallerName.h"

namespace {

constexpr uint8_t KeyStar = '*';
constexpr uint8_t KeyHash = '#';
constexpr uint8_t KeyRelease = 'B'; // the handset went on-hook
constexpr uint8_t KeyTake = 'C';    // the handset took the line

bool IsDigitKey(uint8_t key) {
    return key >= '0' && key <= '9';
}

// No national number written with its trunk '0' is shorter than this (the trunk, the shortest area code
// and subscriber number); emergency and service numbers are shorter.
constexpr size_t ShortestTrunkNumber = 6;

bool IsTrunkNumber(const std::string& number) {
    return number.size() >= ShortestTrunkNumber && number[0] == '0' && number[1] != '0';
}

} // namespace

void CallBridge::HandleHandsetKey(int32_t code) {
    uint8_t key = static_cast<uint8_t>(code & 0xFF);
    if (currentCall) {
        CallKey(key);
    } else if (IsDigitKey(key)) {
        if (dialState == EnteringNumber)
            dialString += static_cast<char>(key);
        else if (dialState == BrowsingContacts)
            StepContacts(key);
    } else if (key == KeyHash) {
        PressHash();
    } else if (key == KeyRelease) {
        bool leavingCallList = dialState == BrowsingCalls;
        AbandonDialledCall();
        dialState = Idle;
        dialString.clear();
        if (leavingCallList)
            ShowIdleText();
    } else if (key == KeyStar) {
        if (dialState == Idle)
            OpenCallList();
        else if (dialState == BrowsingCalls)
            ShowCallEntry(calls.BrowseNext());
    } else if (key == KeyTake) {
        if (dialState == Idle)
            Redial();
        else if (dialState == BrowsingCalls)
            CallShownEntry();
    }
    lastKey = key;
}

// A key while a Skype call is current: tones while it is in progress, answer while it rings, hang up.
void CallBridge::CallKey(uint8_t key) {
    CallRecord& call = *currentCall;
    bool tone = IsDigitKey(key) || key == KeyStar || key == KeyHash;
    if (tone && call.status == CallStatus::InProgress) {
        skype.QueueSkypeCommand("SET CALL " + call.callId + " DTMF " + static_cast<char>(key), call.tag);
    } else if (key == KeyRelease) {
        // What the call still had waiting (tones, the answer) is not wanted any more.
        skype.DropSkypeCommands(call.tag);
        AbandonDialledCall();
        skype.QueueSkypeCommand("SET CALL " + call.callId + " STATUS FINISHED", call.tag);
        call.hungUpOnHandset = true;
        dialState = Idle; // dialString is left to the call's end
    } else if (key == KeyTake && call.status == CallStatus::Ringing) {
        skype.QueueSkypeCommand("set call " + call.callId + " status inprogress", call.tag);
        call.status = CallStatus::Answering;
        std::string shown = "*" + ShownCaller(call);
        ToHandset([shown](Handset& h) { h.ShowOnHandset(shown); });
        dialState = InCall;
    }
}

// A number dialled while Skype could not be told yet must not be called when Skype appears later; one whose
// CALL has already left is finished once Skype names it. A CALL dropped unsent leaves nothing to finish, so
// a call the user starts at the PC afterwards is not taken for it.
void CallBridge::AbandonDialledCall() {
    if (dialTag == NoCall)
        return;
    bool neverLeft = skype.DropSkypeCommands(dialTag);
    dialTag = NoCall;
    finishWhenRouted = !neverLeft;
}

// '#' with no current call: start entering a number, call it, start browsing, call the contact shown, or
// leave dialling.
void CallBridge::PressHash() {
    switch (dialState) {
    case Idle:
        dialState = EnteringNumber;
        break;
    case EnteringNumber:
        if (dialString.empty())
            StartBrowsing();
        else
            CallTypedNumber();
        break;
    case BrowsingContacts:
        if (dialString.empty())
            dialState = Idle;
        else
            PlaceCall(dialString);
        break;
    case BrowsingCalls:
        CallShownEntry();
        break;
    case InCall:
        dialState = Idle;
        break;
    }
}

// A national number, written with its single trunk '0', gets the country code in place of that '0'.
// Everything else is called as typed: an international number ("00..."), a local one without the trunk
// '0', and every short number, which is where emergency and service numbers are (112, 911, 19222): those
// are only reached as dialled. dialString keeps the number as typed.
void CallBridge::CallTypedNumber() {
    std::string countryCode = settings.CountryCode();
    if (!countryCode.empty() && IsTrunkNumber(dialString))
        PlaceCall(countryCode + dialString.substr(1));
    else
        PlaceCall(dialString);
}

void CallBridge::PlaceCall(const std::string& target) {
    // Were the call given up earlier routed after this one left, the two routings could not be told apart;
    // the call the user wants now is not put at risk.
    finishWhenRouted = false;
    if (dialTag == NoCall)
        dialTag = ++lastTag;
    skype.QueueSkypeCommand("CALL " + target, dialTag);
    std::string shown = ">" + target;
    ToHandset([shown](Handset& h) { h.ShowOnHandset(shown); });
    dialState = InCall;
    RecordCall(CallKind::Dialled, target, CallerName(contacts, target, settings.CountryCode()));
}

// Shows the first visible contact of the first group that has one. With none, browsing has nothing to
// offer: the handset says so and the state returns to Idle, so that incoming calls are not refused while
// the user looks at an empty list.
void CallBridge::StartBrowsing() {
    dialState = BrowsingContacts;
    bool onlineOnly = settings.OnlineOnly();
    for (uint8_t key = '1'; key <= '9'; ++key) {
        if (const ContactRecord* contact = contacts.FindFromFirst(key, onlineOnly)) {
            ShowContact(contact);
            return;
        }
    }
    ToHandset([](Handset& h) { h.ShowOnHandset("No contacts"); });
    dialState = Idle;
}

// A digit while browsing: the same digit again pages through its group, wrapping to the group's first
// contact; another digit starts at its group's first contact. Nothing found keeps the contact shown.
void CallBridge::StepContacts(uint8_t key) {
    bool onlineOnly = settings.OnlineOnly();
    const ContactRecord* contact = key == lastKey ? contacts.FindNext(key, onlineOnly) : nullptr;
    if (!contact)
        contact = contacts.FindFromFirst(key, onlineOnly);
    if (contact)
        ShowContact(contact);
}

// The handle is shown without a prefix (cut to the display's width) and called whole.
void CallBridge::ShowContact(const ContactRecord* contact) {
    dialString = contact->handle;
    std::string shown = contact->handle;
    ToHandset([shown](Handset& h) { h.ShowOnHandset(shown); });
}
