// SipLink's icon in the notification area, seen through the shell the way a user sees it: its tip names
// the account's state, its menu opens the account window or ends SipLink, and it comes back when the
// shell starts anew. Its words, cut to what the shell shows, are checked in process (tests/siplink).
#include <winsock2.h>
#include <shellapi.h>

#include <vector>

#include "siplink/res/resource.h"
#include "tests/common/ShellTray.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// A visible top-level window of the process with this class.
HWND ProcessWindow(DWORD pid, const char* className) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr)
        if (ProcessOf(window) == pid && IsWindowVisible(window))
            return window;
    return nullptr;
}

constexpr const char* TipPrefix = "SipLink:";
// SipLink's icon in the shell's notification area (its id on SipLink's tray window is 1).
constexpr UINT SipLinkIconId = 1;
// Of a small icon's 256 pixels; SipLink's two pictures differ in far more.
constexpr int MaxEdgeDifferences = 10;

class SipTray : public sipaccount::ProviderDesk {
  protected:
    void TearDown() override {
        // An account window the test opened goes with Cancel.
        HWND account = nullptr;
        while ((account = FindWindowA("SipLinkAccount", nullptr)) != nullptr) {
            PostMessageA(account, WM_COMMAND, IDCANCEL, 0);
            if (!test::WaitUntil([&] { return !IsWindow(account); }, Wait))
                break;
        }
        ProviderDesk::TearDown();
    }

    // The shell's icon window showing SipLink's tip, or null.
    static HWND SipLinkIcon() {
        for (HWND icon : tray_test::TrayIconWindows())
            if (tray_test::TrayTip(icon).rfind(TipPrefix, 0) == 0)
                return icon;
        return nullptr;
    }
    static std::string SipLinkTip() {
        HWND icon = SipLinkIcon();
        return icon ? tray_test::TrayTip(icon) : "";
    }
    // Until the shell shows SipLink's icon with this tip, and SipLink's log says the shell took it.
    bool WaitForTip(const std::string& tip) const {
        // SipLink logs the tip once the shell has taken it, a moment after the shell shows it.
        return test::WaitUntil(
            [&] {
                return SipLinkTip() == tip &&
                       sipLink.Log().find(" TRAY " + tip + "\r\n") != std::string::npos;
            },
            Wait);
    }
    std::string ShowTray() const { return "\nthe shell's tip: \"" + SipLinkTip() + "\"" + ShowLog(); }
    // Until the shell draws SipLink's icon with this picture of SipLink.exe's (but for a few pixels at its
    // edges, where the shell blends it with its background).
    static bool WaitForPicture(int iconId) {
        HMODULE sipLinkExe = LoadLibraryExA((test::BinDir() + "\\SipLink.exe").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        bool shown = sipLinkExe &&
                     test::WaitUntil(
                         [&] {
                             HWND icon = SipLinkIcon();
                             if (!icon)
                                 return false;
                             RECT rect;
                             GetWindowRect(icon, &rect);
                             RECT corner = {rect.left, rect.top, rect.left + 1, rect.top + 1};
                             tray_test::Pixels background = tray_test::CaptureScreen(corner);
                             tray_test::Pixels expected = tray_test::RenderSmallIcon(
                                 iconId, background.rgb.empty() ? 0 : background.rgb[0], sipLinkExe);
                             return tray_test::CountDifferences(tray_test::ShownTrayIcon(icon), expected) <=
                                    MaxEdgeDifferences;
                         },
                         Wait);
        if (sipLinkExe)
            FreeLibrary(sipLinkExe);
        return shown;
    }
    static HWND TrayWindow() { return FindWindowA("SipLinkTray", nullptr); }
    static std::string Registered() {
        return "SipLink: registered as alice@127.0.0.1:" + std::to_string(sipaccount::Port.provider);
    }
};

TEST_F(SipTray, TheTipSaysRegisteredAfterAGoodRegistrationAndNamesAWrongPassword) {
    StartSipLink();
    EXPECT_TRUE(WaitForTip(Registered())) << ShowTray();
    EXPECT_TRUE(WaitForPicture(IDI_SIPLINK_READY)) << "the icon does not show a line that works";
    sipLink.Stop();

    StoreAccount("not-alices");
    StartSipLink();
    EXPECT_TRUE(WaitForTip("SipLink: not registered: wrong password (SIP 403)")) << ShowTray();
    EXPECT_TRUE(WaitForPicture(IDI_SIPLINK_DOWN)) << "the icon does not show a line that is down";
}

TEST_F(SipTray, ExitInTheMenuEndsSipLinkAndTheIcon) {
    StartSipLink();
    ASSERT_TRUE(WaitForTip(Registered())) << ShowTray();
    HWND window = TrayWindow();
    ASSERT_NE(window, nullptr) << "no tray window";
    // What the menu sends its window when the user clicks "Exit".
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(2, 0), 0);
    EXPECT_EQ(sipLink.WaitForEnd(Wait), 0u) << "SipLink did not end" << ShowLog();
    EXPECT_TRUE(sipLink.WaitForLog("TRAY-REMOVED", "")) << ShowLog();
    EXPECT_EQ(SipLinkIcon(), nullptr) << "the icon stayed in the shell";
}

// The setup closes SipLink by the window titled "SipLink": only the main window carries that title, and
// a WM_CLOSE to the icon's window ends SipLink in order too instead of taking only the icon away.
TEST_F(SipTray, AWindowCloseReachesSipLinkWhicheverOfItsWindowsAProgramFinds) {
    StartSipLink();
    ASSERT_TRUE(WaitForTip(Registered())) << ShowTray();
    std::vector<HWND> titled;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, "SipLink")) != nullptr)
        if (ProcessOf(window) == sipLink.Id())
            titled.push_back(window);
    ASSERT_EQ(titled.size(), 1u) << "windows titled \"SipLink\"";
    EXPECT_NE(titled.front(), TrayWindow());

    ASSERT_NE(TrayWindow(), nullptr) << "no tray window";
    PostMessageA(TrayWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(sipLink.WaitForEnd(Wait), 0u) << "SipLink did not end" << ShowLog();
}

TEST_F(SipTray, TheAccountWindowOpensFromTheMenuAndOnADoubleClick) {
    StartSipLink();
    ASSERT_TRUE(WaitForTip(Registered())) << ShowTray();
    HWND window = TrayWindow();
    ASSERT_NE(window, nullptr) << "no tray window";
    // A command no menu item has does nothing.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(77, 0), 0);

    // Right click on the icon, then "SIP account..." by its key.
    HWND icon = SipLinkIcon();
    ASSERT_NE(icon, nullptr);
    tray_test::PostTrayMouse(icon, WM_RBUTTONDOWN);
    tray_test::PostTrayMouse(icon, WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(
        test::WaitUntil([&] { return (menu = ProcessWindow(sipLink.Id(), "#32768")) != nullptr; }, Wait))
        << "the right click opened no menu" << ShowLog();
    PostMessageA(menu, WM_CHAR, 's', 0);
    HWND account = test::WaitForWindow("SIP account", Wait, "SipLinkAccount");
    ASSERT_NE(account, nullptr) << "\"SIP account...\" opened no window" << ShowLog();
    EXPECT_TRUE(test::WaitUntil([&] { return IsWindowVisible(account) != FALSE; }, Wait));
    EXPECT_NE(ProcessOf(account), sipLink.Id()) << "the window is not a process of its own";
    EXPECT_TRUE(IsWindow(window)) << "SipLink ended on a stray command";
    PostMessageA(account, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(account); }, Wait));

    tray_test::PostTrayMouse(icon, WM_LBUTTONDBLCLK);
    EXPECT_NE(test::WaitForWindow("SIP account", Wait, "SipLinkAccount"), nullptr)
        << "a double click opened no window" << ShowLog();
}

TEST_F(SipTray, AfterTheShellStartsAnewTheIconIsAddedAgain) {
    StartSipLink();
    ASSERT_TRUE(WaitForTip(Registered())) << ShowTray();
    HWND window = TrayWindow();
    ASSERT_NE(window, nullptr) << "no tray window";
    // A shell that starts anew has none of the icons of the one before.
    NOTIFYICONDATAW data = {};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = window;
    data.uID = SipLinkIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_TRUE(test::WaitUntil([] { return SipLinkIcon() == nullptr; }, Wait));
    // Then it tells every top-level window.
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(test::WaitUntil([] { return SipLinkTip() == Registered(); }, Wait)) << ShowTray();
    EXPECT_TRUE(sipLink.WaitForLog("TRAY-SHELL", "the shell started anew: the icon is added again"))
        << ShowLog();
}

} // namespace
