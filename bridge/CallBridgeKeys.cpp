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

// After a lost key, the keys typed on belong to the number it was part of; the handset is ready for the
// number anew once this long has passed without a key.
constexpr unsigned KeysLostPauseMs = 3000;

// No national number written with its trunk '0' is shorter than this (the trunk, the shortest area code
// and subscriber number); emergency and service numbers are shorter.
constexpr size_t ShortestTrunkNumber = 6;

bool IsTrunkNumber(const std::string& number) {
    return number.size() >= ShortestTrunkNumber && number[0] == '0' && number[1] != '0';
}

} // namespace

void CallBridge::HandleHandsetKey(int32_t code) {
    uint8_t key = static_cast<uint8_t>(code & 0xFF);
    if (current.call)
        CallKey(key);
    else
        IdleKey(key);
    lastKey = key;
}

// A key while a Skype call is current: tones while it is in progress, answer while it rings, hang up.
void CallBridge::CallKey(uint8_t key) {
    CallRecord& call = *current.call;
    bool tone = IsDigitKey(key) || key == KeyStar || key == KeyHash;
    if (tone && current.phase == HandsetPhase::Talking) {
        AskOfCall("SET CALL " + call.callId + " DTMF " + static_cast<char>(key));
    } else if (key == KeyRelease) {
        // What the call still had waiting (tones, the answer) is not wanted any more.
        skype.DropSkypeCommands(call.tag);
        GiveUpDial();
        AskOfCall("SET CALL " + call.callId + " STATUS FINISHED");
        ChangePhase(HandsetPhase::HangingUp, "the end key"); // dialString is left to the call's end
    } else if (key == KeyTake && current.phase == HandsetPhase::Ringing) {
        AskOfCall("set call " + call.callId + " status inprogress");
        ChangePhase(HandsetPhase::Answering, "the talk key");
    }
}

// A key with no Skype call current: a number, the contacts, the calls list, redial, or the end of each.
void CallBridge::IdleKey(uint8_t key) {
    if (IgnoredAfterLostKey(key))
        return;
    HandsetPhase phase = current.phase;
    if (IsDigitKey(key)) {
        if (phase == HandsetPhase::EnteringNumber)
            dialString += static_cast<char>(key);
        else if (phase == HandsetPhase::BrowsingContacts)
            StepContacts(key);
    } else if (key == KeyHash) {
        PressHash();
    } else if (key == KeyRelease) {
        GiveUpDial();
        dialString.clear();
        ChangePhase(HandsetPhase::Idle, "the end key");
    } else if (key == KeyStar) {
        if (IsIdle(phase))
            OpenCallList();
        else if (phase == HandsetPhase::BrowsingCalls)
            ShowCallEntry(calls.BrowseNext());
    } else if (key == KeyTake) {
        if (phase == HandsetPhase::Idle)
            Redial();
        else if (phase == HandsetPhase::BrowsingCalls)
            CallShownEntry();
    }
}

// Only a number being chosen is at risk, and the idle handset, where the lost key may have begun one; in a
// call a lost key is a tone or an answer not given, which the user hears and repeats.
void CallBridge::OnHandsetFrameLost() {
    HandsetPhase phase = current.phase;
    bool choosing = IsIdle(phase) || phase == HandsetPhase::KeysLost ||
                    phase == HandsetPhase::EnteringNumber || phase == HandsetPhase::BrowsingContacts ||
                    phase == HandsetPhase::BrowsingCalls;
    if (!choosing)
        return;
    dialString.clear();
    ChangePhase(HandsetPhase::KeysLost, "a frame from the base was lost");
    timers.StartTimer(BridgeTimer::Notice, KeysLostPauseMs);
}

// Keys typed after a lost one: ignored, each starting the pause again; the end key leaves at once.
bool CallBridge::IgnoredAfterLostKey(uint8_t key) {
    if (current.phase != HandsetPhase::KeysLost || key == KeyRelease)
        return false;
    timers.StartTimer(BridgeTimer::Notice, KeysLostPauseMs);
    return true;
}

// Once the handset asks something of the call, an error may answer that: the question of the display name is
// closed, whether its answer came or not.
void CallBridge::AskOfCall(const std::string& command) {
    CallRecord& call = *current.call;
    if (call.asking == PartyQuestion::DisplayName)
        call.asking = PartyQuestion::Answered;
    skype.QueueSkypeCommand(command, call.tag);
}

// A number dialled while Skype could not be told yet must not be called when Skype appears later; one whose
// CALL has already left is finished once Skype names it. A CALL dropped unsent leaves nothing to finish, so
// a call the user starts at the PC afterwards is not taken for it.
void CallBridge::GiveUpDial() {
    if (dial.stage != DialAtSkype::Stage::Waiting)
        return;
    bool neverLeft = skype.DropSkypeCommands(dial.tag);
    dial = DialAtSkype();
    if (!neverLeft)
        dial.stage = DialAtSkype::Stage::GivenUp;
}

// '#' with no current call: start entering a number, call it, start browsing, call the contact or the
// entry shown, or leave the number dialled to Skype.
void CallBridge::PressHash() {
    switch (current.phase) {
    case HandsetPhase::Idle:
    case HandsetPhase::RingEnded:
        ChangePhase(HandsetPhase::EnteringNumber, "'#'");
        break;
    case HandsetPhase::EnteringNumber:
        if (dialString.empty())
            StartBrowsing();
        else
            CallTypedNumber();
        break;
    case HandsetPhase::BrowsingContacts:
        if (dialString.empty())
            ChangePhase(HandsetPhase::Idle, "'#' with no contact chosen");
        else
            PlaceCall(dialString);
        break;
    case HandsetPhase::BrowsingCalls:
        CallShownEntry();
        break;
    case HandsetPhase::Dialling:
        ChangePhase(HandsetPhase::Idle, "'#' leaves the number to Skype");
        break;
    default:
        break;
    }
}

// A national number, written with its single trunk '0', gets the country code with the international prefix
// "00" in place of that '0', however the code was entered ("49", "+49" or "0049"): a code without its prefix
// would make a national number of it. Everything else is called as typed: an international number
// ("00..."), a local one without the trunk '0', and every short number, which is where emergency and service
// numbers are (112, 911, 19222): those are only reached as dialled. dialString keeps the number as typed.
void CallBridge::CallTypedNumber() {
    std::string country = CountryDigits(settings.CountryCode());
    if (!country.empty() && IsTrunkNumber(dialString))
        PlaceCall("00" + country + dialString.substr(1));
    else
        PlaceCall(dialString);
}

// Were a call given up earlier routed after this one left, the two routings could not be told apart: the
// call the user wants now is not put at risk, and the next routing is taken for this one.
void CallBridge::PlaceCall(const std::string& target) {
    if (dial.stage != DialAtSkype::Stage::Waiting)
        dial.tag = ++lastTag;
    dial.stage = DialAtSkype::Stage::Waiting;
    dial.target = target;
    skype.QueueSkypeCommand("CALL " + target, dial.tag);
    ChangePhase(HandsetPhase::Dialling, "a number is called");
    RecordCall(CallKind::Dialled, target, CallerName(contacts, target, settings.CountryCode()));
}

// Shows the first visible contact of the first group that has one. With none, browsing has nothing to
// offer: the handset says so and the state returns to Idle, so that incoming calls are not refused while
// the user looks at an empty list.
void CallBridge::StartBrowsing() {
    bool onlineOnly = settings.OnlineOnly();
    for (uint8_t key = '1'; key <= '9'; ++key) {
        if (const ContactRecord* contact = contacts.FindFromFirst(key, onlineOnly)) {
            ChangePhase(HandsetPhase::BrowsingContacts, "'#' with no digits");
            ShowContact(contact);
            return;
        }
    }
    Show("No contacts");
    ChangePhase(HandsetPhase::Idle, "no contacts to browse");
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
    Show(contact->handle);
}
