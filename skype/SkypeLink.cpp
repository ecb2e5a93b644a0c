#include "skype/SkypeLink.h"

#include <algorithm>

#include "skype/ClientText.h"
#include "skype/NotificationText.h"
#include "support/Registry.h"
#include "support/TraceLog.h"

namespace {

constexpr const char* SkypeInstallKey = "SOFTWARE\\Skype\\Phone";

// A window that has stopped answering must not freeze the main window: such a window is skipped by the
// discover broadcast, and a command Skype does not take within this time counts as refused.
constexpr UINT BroadcastTimeoutMs = 1000;
constexpr UINT CommandTimeoutMs = 5000;

constexpr LPARAM AttachSuccess = 0;

// What each of Skype's attach statuses leaves in the trace; any other status leaves nothing.
struct AttachStatusTrace {
    LPARAM status;
    int level;
    const char* text;
};
constexpr AttachStatusTrace AttachStatusTraces[] = {
    {AttachSuccess, 20, "Skype Connected"},
    {1, 10, "!!! Pending authorization"},
    {2, 10, "!!! Connection refused"},
    {3, 10, "!!! Skype API not available"},
    {0x8001, 10, "!!! Try to connect Skype now (API available)"},
};

bool SkypeInstalled() {
    return KeyExists(SkypeInstallKey, HKEY_LOCAL_MACHINE) || KeyExists(SkypeInstallKey, HKEY_CURRENT_USER);
}

} // namespace

bool SkypeLink::DiscoverSkype() {
    if (skypeWindow)
        return true;
    if (!SkypeInstalled()) {
        if (!missingSkypeReported) {
            missingSkypeReported = true;
            MessageBoxA(nullptr, "Cannot detect Skype !!!", "Telvane", MB_OK);
        }
        return false;
    }
    attachMessage = RegisterWindowMessageA("SkypeControlAPIAttach");
    discoverMessage = RegisterWindowMessageA("SkypeControlAPIDiscover");
    if (attachMessage == 0 || discoverMessage == 0)
        return false;
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(HWND_BROADCAST, discoverMessage, reinterpret_cast<WPARAM>(mainWindow), 0,
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, BroadcastTimeoutMs, &answer) != 0;
}

// Only a success changes the link; every other status is a note in the trace. A success naming another
// window, or none, ends the link held so far: the new window knows nothing of its calls.
void SkypeLink::OnAttachReply(HWND apiWindow, LPARAM status) {
    if (status == AttachSuccess) {
        if (skypeWindow && apiWindow != skypeWindow)
            DropSkypeWindow();
        ReportLoss();
        skypeWindow = apiWindow;
        skypeProcess = WindowProcess(apiWindow);
    }
    for (const AttachStatusTrace& entry : AttachStatusTraces)
        if (entry.status == status)
            Trace(entry.level, "%s", entry.text);
    owner.ShowSkypeLink(skypeWindow != nullptr);
}

void SkypeLink::OnCopyData(HWND sender, const COPYDATASTRUCT* data) {
    if (!skypeWindow || sender != skypeWindow || !data || WindowProcess(sender) != skypeProcess)
        return;
    if (AskSender(sender, mainWindow, data->lpData, data->lpData ? data->cbData : 0) ==
        SenderAnswer::Denied) {
        Trace(10, "!!! A notification in the name of Skype's window that its program did not send: ignored");
        return;
    }
    std::string text = ClientToProgramText(NotificationText(data->lpData, data->cbData));
    Trace(20, "[SKYPE -> MAIN] : %s", text.c_str());
    // Skype waits in its SendMessage; release it before anything here can take time.
    ReplyMessage(1);
    notifications.push_back(std::move(text));
    // Whatever the owner does with a notification may wait on another window (a command sent, the tray),
    // and Windows delivers Skype's next notification inside that wait: it is handed on after this one, in
    // order, never in the middle of it.
    if (handingOn)
        return;
    handingOn = true;
    while (!notifications.empty()) {
        std::string next = std::move(notifications.front());
        notifications.pop_front();
        owner.OnSkypeNotification(next);
    }
    handingOn = false;
}

void SkypeLink::PumpStep() {
    // A Skype that ended leaves a handle that is no longer a window; with nothing queued no send would ever
    // find that out, and a new Skype could not reach us.
    if (skypeWindow && !IsWindow(skypeWindow))
        DropSkypeWindow();
    if (skypeWindow)
        SendNextSkypeCommand();
    ReportLoss();
    if (skypeWindow)
        return;
    owner.ShowSkypeLink(false);
    DiscoverSkype();
}

void SkypeLink::QueueSkypeCommand(const std::string& text, CallTag call) {
    skypeCommands.push_back(QueuedCommand{text, call});
    if (skypeWindow && skypeCommands.size() == 1 && PaceElapsed()) {
        SendNextSkypeCommand();
        owner.RestartSkypePump();
    }
}

bool SkypeLink::PaceElapsed() const {
    return !sentAny || clock() - lastSentMs >= SkypeCommandPaceMs;
}

bool SkypeLink::DropSkypeCommands(CallTag call) {
    if (call == NoCall)
        return false;
    auto kept = std::remove_if(skypeCommands.begin(), skypeCommands.end(),
                               [call](const QueuedCommand& command) { return command.call == call; });
    bool dropped = kept != skypeCommands.end();
    skypeCommands.erase(kept, skypeCommands.end());
    return dropped;
}

void SkypeLink::SendNextSkypeCommand() {
    if (!skypeWindow || skypeCommands.empty())
        return;
    // Commands about a call go before the contact traffic queued ahead of them (one status query per
    // contact), so that a long contact list never delays a call. Taken off before sending: a command Skype
    // refuses is not tried again.
    auto next = std::find_if(skypeCommands.begin(), skypeCommands.end(),
                             [](const QueuedCommand& command) { return command.call != NoCall; });
    if (next == skypeCommands.end())
        next = skypeCommands.begin();
    std::string text = ProgramToClientText(next->text);
    skypeCommands.erase(next);
    if (text.empty())
        return;
    // Noted before the send: a command queued while Skype handles this one waits its pace.
    sentAny = true;
    lastSentMs = clock();
    COPYDATASTRUCT data = {};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(text.size() + 1);
    data.lpData = &text[0];
    DWORD_PTR answer = 0;
    SendWitness::Sending sending(witness, skypeWindow, data.lpData, data.cbData);
    LRESULT sent = SendMessageTimeoutA(skypeWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(mainWindow),
                                       reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                       CommandTimeoutMs, &answer);
    if (sent == 0 || answer == 0) {
        DropSkypeWindow();
        owner.ShowSkypeLink(false);
    }
}

void SkypeLink::DropSkypeWindow() {
    skypeWindow = nullptr;
    lossUntold = true;
    Trace(20, "Disconnect from Skype...");
}

void SkypeLink::ReportLoss() {
    if (!lossUntold)
        return;
    lossUntold = false;
    owner.OnSkypeLinkLost();
}
