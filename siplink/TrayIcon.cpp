#include "siplink/TrayIcon.h"

#include <shellapi.h>

#include "siplink/HiddenWindow.h"
#include "siplink/TrayTip.h"
#include "siplink/WideText.h"
#include "siplink/res/resource.h"

namespace {

constexpr const char* ClassName = "SipLinkTray";
// Not "SipLink": the setup and other programs find SipLink's main window by that title and close it.
constexpr const char* Title = "SipLink notification icon";
constexpr UINT IconId = 1;
constexpr UINT WM_TRAY = WM_APP + 1;
// The layout with the 128-character tip: every shell since Windows 2000 understands it.
constexpr DWORD DataSize = NOTIFYICONDATAW_V2_SIZE;
constexpr DWORD RemovalPollMs = 50;

// Sent to every top-level window when the shell (Explorer) has started anew and shows no icons.
UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

} // namespace

TrayIcon::~TrayIcon() {
    if (!removing) {
        Remove();
    } else {
        // Whatever the shell sends our window meanwhile is taken, so that it never waits for us.
        while (!removed) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, RemovalPollMs, QS_SENDMESSAGE);
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        removal.join();
    }
    if (window)
        DestroyWindow(window);
}

void TrayIcon::BeginRemoval() {
    if (removing)
        return;
    removing = true;
    removal = std::thread([this] {
        Remove();
        removed = true;
    });
}

void TrayIcon::Remove() {
    if (!window || !added)
        return;
    NOTIFYICONDATAW data = {};
    data.cbSize = DataSize;
    data.hWnd = window;
    data.uID = IconId;
    if (Shell_NotifyIconW(NIM_DELETE, &data))
        log.Write("TRAY-REMOVED", "");
    added = false;
}

bool TrayIcon::Create() {
    window = CreateHiddenWindow(ClassName, Title, this);
    return window != nullptr;
}

void TrayIcon::Show(bool nowWorking, const std::string& nowTip) {
    if (removing || (added && nowWorking == working && nowTip == tip))
        return;
    working = nowWorking;
    tip = nowTip;
    Tell(!added);
}

void TrayIcon::Tell(bool add) {
    if (!window)
        return;
    NOTIFYICONDATAW data = {};
    data.cbSize = DataSize;
    data.hWnd = window;
    data.uID = IconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY;
    // The small size the shell draws; the shell keeps a copy, so ours is released at once.
    data.hIcon = static_cast<HICON>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(working ? IDI_SIPLINK_READY : IDI_SIPLINK_DOWN),
        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    lstrcpynW(data.szTip, WideFromUtf8(tip).c_str(), static_cast<int>(TrayTipUnits + 1));
    // A shell that lost the icon (it ended without its "TaskbarCreated" reaching us) takes it anew; one that
    // still has it (a "TaskbarCreated" for a changed screen) has it changed.
    BOOL done = Shell_NotifyIconW(add ? NIM_ADD : NIM_MODIFY, &data) ||
                Shell_NotifyIconW(add ? NIM_MODIFY : NIM_ADD, &data);
    if (data.hIcon)
        DestroyIcon(data.hIcon);
    added = done != FALSE;
    log.Write("TRAY", tip + (done ? "" : " (the shell did not take the icon)"));
}

void TrayIcon::ShowMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    // The state heads the menu too: not every shell shows a tip. An "&" in it is no key of the menu's.
    std::wstring state = WideFromUtf8(tip);
    for (size_t at = state.find(L'&'); at != std::wstring::npos; at = state.find(L'&', at + 2))
        state.insert(at, 1, L'&');
    AppendMenuW(menu, MF_STRING | MF_GRAYED, 0, state.c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, OpenAccount, L"&SIP account...");
    AppendMenuW(menu, MF_STRING, Exit, L"E&xit");
    SetMenuDefaultItem(menu, OpenAccount, FALSE);
    POINT cursor = {};
    GetCursorPos(&cursor);
    // In front, so that the menu closes when the user clicks elsewhere; the choice comes as WM_COMMAND.
    SetForegroundWindow(window);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

LRESULT TrayIcon::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TRAY:
        if (wParam != IconId)
            return 0;
        if (lParam == WM_LBUTTONDBLCLK)
            chosen(OpenAccount);
        else if (lParam == WM_RBUTTONUP || lParam == WM_CONTEXTMENU)
            ShowMenu();
        return 0;
    case WM_CLOSE:
        // Another program closing this window means SipLink: destroyed, it would only lose the icon.
        chosen(Exit);
        return 0;
    case WM_COMMAND:
        // Only the menu's own commands: another program's stray WM_COMMAND with another id does nothing.
        if (HIWORD(wParam) == 0 && (LOWORD(wParam) == OpenAccount || LOWORD(wParam) == Exit))
            chosen(static_cast<Command>(LOWORD(wParam)));
        return 0;
    default:
        if (message == TaskbarCreatedMessage() && window && !removing) {
            added = false;
            log.Write("TRAY-SHELL", "the shell started anew: the icon is added again");
            Tell(true);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
