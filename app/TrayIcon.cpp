// The tray icon, its menu and the About box.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/MainDialog.h"
#include "app/res/resource.h"

namespace {

// The first, shortest layout of the notify-icon structure: every shell understands it.
constexpr DWORD TrayDataSize = NOTIFYICONDATAA_V1_SIZE;
static_assert(TrayDataSize == 88, "the first notify-icon layout is 88 bytes in a 32-bit build");

constexpr UINT TrayIconId = 0;
// The tip field holds 63 characters and the terminator.
constexpr size_t TrayTipLength = 63;

// The maker's update folder is opened in this browser, whatever the default browser is.
constexpr const char* UpdateBrowser = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
constexpr const char* UpdateHost = "updates.dectbridge.invalid";
constexpr const char* UpdatePath = "/VoIP/TRL-400/utility/";

// Every call carries the same window, id, flags and callback; a null icon or tip sends none.
void NotifyTray(HWND window, DWORD message, HICON icon, const char* tip) {
    NOTIFYICONDATAA data = {};
    data.cbSize = TrayDataSize;
    data.hWnd = window;
    data.uID = TrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = icon;
    if (tip)
        lstrcpynA(data.szTip, tip, TrayTipLength + 1);
    // Failures are expected (adding an icon that exists, changing one the shell lost) and harmless.
    Shell_NotifyIconA(message, &data);
}

struct TrayLook {
    UINT tipId;
    int iconId;
};

TrayLook ChooseTrayLook(int state, bool skypeConnected) {
    if (state == TrayDevicePresent)
        return skypeConnected ? TrayLook{IDS_TIP_FOUND_ONLINE, IDI_TRAY_FOUND_ONLINE}
                              : TrayLook{IDS_TIP_FOUND_OFFLINE, IDI_TRAY_FOUND_OFFLINE};
    return skypeConnected ? TrayLook{IDS_TIP_NOT_FOUND_ONLINE, IDI_TRAY_NOT_FOUND}
                          : TrayLook{IDS_TIP_NOT_FOUND_OFFLINE, IDI_TRAY_NOT_FOUND};
}

} // namespace

void MainDialog::UpdateTrayIcon(int state) {
    trayState = state;
    // Adding first brings the icon back when the shell has lost it (a restarted shell); when the icon
    // exists the add fails and the modify below does the work.
    NotifyTray(Handle(), NIM_ADD, nullptr, nullptr);

    TrayLook look = ChooseTrayLook(state, skypeConnected);
    HINSTANCE module = GetModuleHandleA(nullptr);
    char tip[TrayTipLength + 1] = "";
    LoadStringA(module, look.tipId, tip, sizeof tip);
    if (unsigned missed = bridge.Calls().UnseenMissed())
        wsprintfA(tip + lstrlenA(tip), " %u missed.", missed);
    // The small size the shell draws; the shell keeps a copy, so ours is released at once.
    HICON icon =
        static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(look.iconId), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    NotifyTray(Handle(), NIM_MODIFY, icon, tip);
    if (icon)
        DestroyIcon(icon);
}

TrayState MainDialog::DeviceTrayState() const {
    return session.DevicesPresent() != 0 || session.InService() ? TrayDevicePresent : TrayDeviceAbsent;
}

bool MainDialog::IsShellRestart(UINT message) {
    static const UINT shellRestart = RegisterWindowMessageA("TaskbarCreated");
    return shellRestart != 0 && message == shellRestart;
}

void MainDialog::RemoveTrayIcon() {
    NotifyTray(Handle(), NIM_DELETE, nullptr, nullptr);
}

void MainDialog::OnTrayNotify(UINT iconId, UINT mouseMessage) {
    if (iconId != TrayIconId)
        return;
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        ShowWindow(Handle(), SW_SHOWNORMAL);
        SetForegroundWindow(Handle());
        SetFocus(Handle());
    } else if (mouseMessage == WM_RBUTTONUP) {
        ShowTrayMenu(Handle());
    }
}

void MainDialog::ShowTrayMenu(HWND owner) {
    // In front, so that the menu closes when the user clicks elsewhere.
    SetForegroundWindow(owner);
    POINT cursor = {};
    GetCursorPos(&cursor);

    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    EnableMenuItem(popup, ID_TRAY_ABOUT, MF_BYCOMMAND | (aboutAllowed == 1 ? MF_ENABLED : MF_GRAYED));
    UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD, cursor.x, cursor.y, 0, owner, nullptr));
    // Lets the menu close properly when the next click goes elsewhere.
    PostMessageA(owner, WM_NULL, 0, 0);

    switch (command) {
    case ID_TRAY_EXIT:
        Shutdown();
        break;
    case ID_TRAY_ABOUT: {
        aboutAllowed = 0;
        fw::Dialog about(IDD_ABOUT);
        about.RunModal(Handle());
        aboutAllowed = 1;
        break;
    }
    case ID_TRAY_UPDATE: {
        std::string url = std::string("ftp://") + UpdateHost + UpdatePath;
        ShellExecuteA(nullptr, nullptr, UpdateBrowser, url.c_str(), nullptr, SW_SHOWNORMAL);
        break;
    }
    default:
        break; // dismissed
    }
    // Destroys the popup with it.
    DestroyMenu(menu);
}

LRESULT MainDialog::OnSize(WPARAM wParam, LPARAM lParam) {
    LRESULT result = PlatformWindowProc(WM_SIZE, wParam, lParam);
    if (wParam == SIZE_MINIMIZED)
        ShowWindow(Handle(), SW_HIDE);
    return result;
}
