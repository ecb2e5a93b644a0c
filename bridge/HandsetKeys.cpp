// Handset events: dialling, DTMF and hook.
#include "app/MainDialog.h"

namespace {

constexpr BYTE KeyStar = '*';
constexpr BYTE KeyHash = '#';
constexpr BYTE KeyRelease = 'B'; // the handset went on-hook
constexpr BYTE KeyTake = 'C';    // the handset took the line

bool IsDigitKey(BYTE key) {
    return key >= '0' && key <= '9';
}

void PlaceCall(MainDialog& dialog, const std::string& target) {
    dialog.QueueSkypeCommand("CALL " + target);
    dialog.ShowOnHandset(">" + target);
    dialog.dialState = InCall;
}

// A national number (not beginning with "00") of more than two digits gets the country code in place of
// its first digit, whatever that digit is. dialString keeps the number as typed.
void CallTypedNumber(MainDialog& dialog) {
    const std::string& number = dialog.dialString;
    if (!dialog.countryCode.empty() && number.size() > 2 && number.compare(0, 2, "00") != 0)
        PlaceCall(dialog, dialog.countryCode + number.substr(1));
    else
        PlaceCall(dialog, number);
}

// Shows the first visible contact of the first group that has one. With none, browsing has nothing to
// offer: the handset says so and the state returns to Idle, so that incoming calls are not refused while
// the user looks at an empty list.
void StartBrowsing(MainDialog& dialog) {
    dialog.dialState = BrowsingContacts;
    for (BYTE key = '1'; key <= '9'; ++key) {
        if (dialog.FindContactInGroup(dialog.contacts.begin(), key))
            return;
    }
    dialog.ShowOnHandset("No contacts");
    dialog.dialState = Idle;
}

// A digit while browsing: the same digit again pages through its group, wrapping to the group's first
// contact; another digit starts at its group's first contact. Nothing found keeps the contact shown.
void StepContacts(MainDialog& dialog, BYTE key) {
    if (key == dialog.lastKey && dialog.FindContactInGroup(dialog.browseNext, key))
        return;
    dialog.FindContactInGroup(dialog.contacts.begin(), key);
}

// '#' with no current call: start entering a number, call it, start browsing, call the contact shown, or
// leave dialling.
void PressHash(MainDialog& dialog) {
    switch (dialog.dialState) {
    case Idle:
        dialog.dialState = EnteringNumber;
        break;
    case EnteringNumber:
        if (dialog.dialString.empty())
            StartBrowsing(dialog);
        else
            CallTypedNumber(dialog);
        break;
    case BrowsingContacts:
        if (dialog.dialString.empty())
            dialog.dialState = Idle;
        else
            PlaceCall(dialog, dialog.dialString);
        break;
    default:
        dialog.dialState = Idle;
        break;
    }
}

// A key while a Skype call is current: tones while it is in progress, answer while it rings, hang up.
void CallKey(MainDialog& dialog, BYTE key) {
    CallRecord& call = *dialog.currentCall;
    bool tone = IsDigitKey(key) || key == KeyStar || key == KeyHash;
    if (tone && call.status == "INPROGRESS") {
        dialog.QueueSkypeCommand("SET CALL " + call.callId + " DTMF " + static_cast<char>(key));
    } else if (key == KeyRelease) {
        dialog.QueueSkypeCommand("SET CALL " + call.callId + " STATUS FINISHED");
        call.hungUpOnHandset = true;
        dialog.dialState = Idle; // dialString is left to the call's end
    } else if (key == KeyTake && call.status == "RINGING") {
        dialog.QueueSkypeCommand("set call " + call.callId + " status inprogress");
        dialog.ShowOnHandset("*" + call.partnerHandle);
        dialog.dialState = InCall;
    }
}

} // namespace

void MainDialog::HandleHandsetKey(LONG code) {
    BYTE key = static_cast<BYTE>(code & 0xFF);
    if (currentCall) {
        CallKey(*this, key);
    } else if (IsDigitKey(key)) {
        if (dialState == EnteringNumber)
            dialString += static_cast<char>(key);
        else if (dialState == BrowsingContacts)
            StepContacts(*this, key);
    } else if (key == KeyHash) {
        PressHash(*this);
    } else if (key == KeyRelease) {
        dialState = Idle;
        dialString.clear();
    }
    lastKey = key;
}
