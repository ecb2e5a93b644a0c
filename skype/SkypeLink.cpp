// The Skype API link: discovery, attach, the paced command queue and the link state display.
#include "app/MainDialog.h"
#include "app/res/resource.h"
#include "skype/HandsetLink.h"
#include "support/Registry.h"
#include "support/TraceLog.h"

HWND skypeWindow = nullptr;

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

bool MainDialog::DiscoverSkype() {
    if (skypeWindow)
        return true;
    if (!SkypeInstalled()) {
        MessageBoxA(nullptr, "Cannot detect Skype !!!", "Telvane", MB_OK);
        return false;
    }
    attachMessage = RegisterWindowMessageA("SkypeControlAPIAttach");
    discoverMessage = RegisterWindowMessageA("SkypeControlAPIDiscover");
    if (attachMessage == 0 || discoverMessage == 0)
        return false;
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(HWND_BROADCAST, discoverMessage, reinterpret_cast<WPARAM>(Handle()), 0,
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, BroadcastTimeoutMs, &answer) != 0;
}

// Only a success changes the link; every other status is a note in the trace.
void MainDialog::OnAttachReply(HWND apiWindow, LPARAM status) {
    if (status == AttachSuccess)
        skypeWindow = apiWindow;
    for (const AttachStatusTrace& entry : AttachStatusTraces)
        if (entry.status == status)
            Trace(entry.level, "%s", entry.text);
    SetSkypeConnected(skypeWindow != nullptr);
}

void MainDialog::SkypePumpStep() {
    if (skypeWindow) {
        SendNextSkypeCommand();
        return;
    }
    SetSkypeConnected(false);
    DiscoverSkype();
}

void MainDialog::QueueSkypeCommand(const std::string& text) {
    skypeCommands.push_back(text);
}

void MainDialog::SendNextSkypeCommand() {
    if (!skypeWindow || skypeCommands.empty())
        return;
    // Taken off before sending: a command Skype refuses is not tried again.
    std::string text = std::move(skypeCommands.front());
    skypeCommands.pop_front();
    if (text.empty())
        return;
    COPYDATASTRUCT data = {};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(text.size() + 1);
    data.lpData = &text[0];
    DWORD_PTR answer = 0;
    LRESULT sent = SendMessageTimeoutA(skypeWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(Handle()),
                                       reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                       CommandTimeoutMs, &answer);
    if (sent == 0 || answer == 0) {
        skypeWindow = nullptr;
        Trace(20, "Disconnect from Skype...");
        SetSkypeConnected(false);
    }
}

void MainDialog::SetSkypeConnected(bool on) {
    skypeConnected = on;
    if (PacketLink* link = HandsetLink(dectBase))
        link->SetSkypeIndicator(on ? 1 : 0);
    skypeStatusText = on ? "Connect" : "Disconnect";
    skypeIcon.SetIcon(
        LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(on ? IDI_STATE_ON : IDI_STATE_OFF)));
    UpdateTrayIcon(devicesPresent ? TrayDevicePresent : TrayDeviceAbsent);
    UpdateData(false);
}

void MainDialog::SetCallActive(bool on) {
    if (PacketLink* link = HandsetLink(dectBase))
        link->SetCallIndicator(on ? 1 : 0);
    UpdateData(false);
}

void MainDialog::ShowOnHandset(const std::string& text) {
    if (PacketLink* link = HandsetLink(dectBase))
        link->ShowText(text.c_str());
}
