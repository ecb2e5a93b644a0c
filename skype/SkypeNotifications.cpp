// Skype's notifications: the current call and the contact list.
#include <cstring>
#include <vector>

#include "app/MainDialog.h"
#include "skype/HandsetLink.h"
#include "support/TraceLog.h"

namespace {

using Words = std::vector<std::string>;

constexpr UINT RingRepeatMs = 2000;
constexpr UINT ContactsRefreshMs = 360000;
// A call that never went in progress is connected first; the handset needs this long before the release.
constexpr DWORD ConnectBeforeReleaseMs = 500;

// The text up to its first zero byte, and never past the data Skype gave.
std::string NotificationText(const COPYDATASTRUCT& data) {
    if (!data.lpData || data.cbData == 0)
        return "";
    const char* bytes = static_cast<const char*>(data.lpData);
    const void* zero = std::memchr(bytes, 0, data.cbData);
    return std::string(bytes, zero ? static_cast<const char*>(zero) - bytes : data.cbData);
}

// Every blank separates two words, so two blanks in a row or a blank at either end give empty words.
Words SplitAtBlanks(const std::string& text) {
    Words words;
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

// Ascending by byte value; equal names keep their order. Neighbours are exchanged pass by pass until a pass
// changes nothing.
void SortContactNames(Words& names) {
    for (size_t pass = 1; pass < names.size(); ++pass) {
        bool swapped = false;
        for (size_t i = 0; i + 1 < names.size(); ++i) {
            if (names[i].compare(names[i + 1]) > 0) {
                names[i].swap(names[i + 1]);
                swapped = true;
            }
        }
        if (!swapped)
            return;
    }
}

std::string RefuseCommand(const std::string& callId) {
    return "SET CALL " + callId + " STATUS FINISHED";
}

void StartCall(MainDialog& dialog, const std::string& callId, const std::string& status, int outgoing) {
    dialog.currentCall.reset(new CallRecord{outgoing, callId, "", status});
    dialog.QueueSkypeCommand("GET CALL " + callId + " PARTNER_HANDLE");
}

// A terminal status of the current call. The handset is left alone only when it hung up by itself first.
void EndCall(MainDialog& dialog, const std::string& status) {
    // A caller who gives up before anyone answers ends with FINISHED too; the handset still rings then and
    // must be released like after any other unanswered call.
    const CallRecord& call = *dialog.currentCall;
    bool stillRinging = !call.outgoing && call.status == "RINGING" && !call.hungUpOnHandset;
    if (dialog.dialState == InCall || status != "FINISHED" || stillRinging) {
        if (PacketLink* link = HandsetLink(dialog.dectBase)) {
            if (call.status != "INPROGRESS") {
                link->SendConnect();
                Sleep(ConnectBeforeReleaseMs);
            }
            link->SendRelease();
        }
        dialog.dialState = Idle;
    }
    dialog.currentCall.reset();
    dialog.SetCallActive(false);
    dialog.dialString.clear();
}

void OnCallStatus(MainDialog& dialog, const std::string& status) {
    CallRecord& call = *dialog.currentCall;
    if (IsTerminalStatus(status)) {
        EndCall(dialog, status);
    } else if (status == "INPROGRESS" && (call.status == "ROUTING" || call.status == "RINGING")) {
        call.status = "INPROGRESS";
        // Answered at the PC rather than on the handset: bring the handset into the call.
        if (dialog.dialState != InCall) {
            dialog.ShowOnHandset("*" + call.partnerHandle);
            if (PacketLink* link = HandsetLink(dialog.dectBase))
                link->SendConnect();
            dialog.dialState = InCall;
        }
        dialog.SetCallActive(true);
    }
    dialog.dialString.clear();
}

void OnPartnerHandle(MainDialog& dialog, const std::string& handle) {
    CallRecord& call = *dialog.currentCall;
    call.partnerHandle = handle;
    if (call.outgoing) {
        dialog.ShowOnHandset(">" + handle);
        return;
    }
    if (PacketLink* link = HandsetLink(dialog.dectBase))
        link->SendIncomingCall(handle.c_str());
    SetTimer(dialog.Handle(), TIMER_RING, RingRepeatMs, nullptr);
}

// CALL {id} {property} {value}: every rule reads four words. An empty id (a doubled blank) names no call.
void OnCallNotification(MainDialog& dialog, const Words& words) {
    if (words.size() < 4 || words[1].empty())
        return;
    const std::string& id = words[1];
    const std::string& property = words[2];
    const std::string& value = words[3];
    bool statusNotice = property == "STATUS";
    if (!dialog.currentCall) {
        if (!statusNotice)
            return;
        if (value == "RINGING") {
            // The handset is busy entering a number or browsing: it cannot take a call now.
            if (dialog.dialState == EnteringNumber || dialog.dialState == BrowsingContacts)
                dialog.QueueSkypeCommand(RefuseCommand(id));
            else
                StartCall(dialog, id, "RINGING", 0);
        } else if (value == "ROUTING") {
            StartCall(dialog, id, "ROUTING", 1);
        }
        return;
    }
    if (dialog.currentCall->callId != id) {
        // One call at a time: a second one is turned away, the current one goes on.
        if (statusNotice && (value == "RINGING" || value == "ROUTING"))
            dialog.QueueSkypeCommand(RefuseCommand(id));
        return;
    }
    if (statusNotice)
        OnCallStatus(dialog, value);
    else if (property == "PARTNER_HANDLE")
        OnPartnerHandle(dialog, value);
}

// USERS {name}, {name}, ...: the answer to SEARCH FRIENDS. The new contacts follow those already known.
void OnUsersNotification(MainDialog& dialog, const Words& words) {
    Words names;
    for (size_t i = 1; i < words.size(); ++i) {
        std::string name = words[i];
        if (!name.empty() && name.back() == ',')
            name.pop_back();
        // An empty piece (a doubled or trailing blank, a lone comma) names nobody.
        if (!name.empty())
            names.push_back(name);
    }
    SortContactNames(names);
    for (const std::string& name : names) {
        dialog.QueueSkypeCommand("GET USER " + name + " ONLINESTATUS");
        SetTimer(dialog.Handle(), TIMER_CONTACTS, ContactsRefreshMs, nullptr);
        dialog.contacts.push_back(ContactRecord{name, ""});
    }
}

} // namespace

// Words are numbered from 1 as Skype's texts are read; words[0] is word 1. Each rule first makes sure that
// every word it reads is there: a shorter notification is ignored.
void MainDialog::HandleSkypeNotification(const COPYDATASTRUCT* copyData) {
    std::string text = NotificationText(*copyData);
    Trace(20, "[SKYPE -> MAIN] : %s", text.c_str());
    Words words = SplitAtBlanks(text);
    // Skype waits in its SendMessage; release it before anything here can take time.
    ReplyMessage(1);

    const std::string& first = words[0];
    if (first == "CALL") {
        OnCallNotification(*this, words);
    } else if (first == "USERS") {
        OnUsersNotification(*this, words);
    } else if (first == "USER") {
        if (words.size() >= 4 && words[2] == "ONLINESTATUS") {
            for (ContactRecord& contact : contacts) {
                if (contact.handle == words[1]) {
                    contact.onlineStatus = words[3];
                    break;
                }
            }
        }
    } else if (first == "ERROR") {
        if (words.size() >= 2 && words[1] != "24") {
            dialString.clear();
            ShowOnHandset(words[1]);
            SetCallActive(false);
            if (PacketLink* link = HandsetLink(dectBase))
                link->SendRelease();
        }
    } else if (first == "USERSTATUS" || first == "CONNSTATUS") {
        if (words.size() >= 2 && words[1] == "LOGGEDOUT")
            QueueSkypeCommand("GET USERSTATUS");
    }
}

void MainDialog::OnRingTimer() {
    if (!currentCall || currentCall->outgoing != 0 || currentCall->status != "RINGING")
        return;
    if (PacketLink* link = HandsetLink(dectBase))
        link->SendIncomingCall(currentCall->partnerHandle.c_str());
    SetTimer(Handle(), TIMER_RING, RingRepeatMs, nullptr);
}
