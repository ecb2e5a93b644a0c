// SipLink's icon in the notification area, seen through the shell the way a user sees it: its tip names
// the account's state, its menu opens the account window or ends SipLink with its agent, and it comes
// back when the shell starts anew. Its words, cut to what the shell shows, are checked in process.
#include <winsock2.h>
#include <shellapi.h>

#include <vector>

#include "siplink/TrayTip.h"
#include "siplink/account/Registration.h"
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

// The UTF-16 characters the shell gets for a UTF-8 text.
size_t Units(const std::string& text) {
    return static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0));
}

Registration FailedWith(const std::string& answer) {
    Registration registration;
    registration.Requested(0);
    registration.OnEvent("REGISTER_FAIL", answer, 1);
    return registration;
}

TEST(TrayTipTest, NamesTheStateInAFewWordsWithTheSipCode) {
    Registration registered;
    registered.Requested(0);
    registered.OnEvent("REGISTER_OK", "200 OK", 1);
    EXPECT_EQ(RegistrationTip(registered, "alice@example.com"), "SipLink: registered as alice@example.com");
    EXPECT_EQ(RegistrationTip(FailedWith("403 Forbidden"), "alice@example.com"),
              "SipLink: not registered: wrong password (SIP 403)");
    EXPECT_EQ(RegistrationTip(FailedWith("407 Proxy Authentication Required"), ""),
              "SipLink: not registered: wrong password (SIP 407)");
    EXPECT_EQ(RegistrationTip(FailedWith("404 Not Found"), ""),
              "SipLink: not registered: unknown user (SIP 404)");
    EXPECT_EQ(RegistrationTip(FailedWith("488 Not Acceptable Here"), ""),
              "SipLink: not registered: the provider refused the account (SIP 488)");
    EXPECT_EQ(RegistrationTip(FailedWith("Connection timed out"), ""),
              "SipLink: not registered: provider not reachable, trying again");
    EXPECT_EQ(RegistrationTip(FailedWith("503 Service Unavailable"), ""),
              "SipLink: not registered: provider not reachable (SIP 503), trying again");
    Registration none;
    none.NoAccount("No SIP address is set.");
    EXPECT_EQ(RegistrationTip(none, ""), "SipLink: no SIP account is set up");
    none.NoAgent();
    EXPECT_EQ(RegistrationTip(none, ""), "SipLink: the SIP user agent (baresip) was not found");

    EXPECT_EQ(ControlTip(true, "127.0.0.1:4444"),
              "SipLink: connected to the SIP user agent at 127.0.0.1:4444");
    EXPECT_EQ(ControlTip(false, "127.0.0.1:4444"),
              "SipLink: no connection to the SIP user agent at 127.0.0.1:4444, trying again");
}

TEST(TrayTipTest, ALongTipIsCutToWhatTheShellShowsNeverInsideACharacter) {
    std::string shortText = "SipLink: registered as \xC3\xA9mile@example.com";
    EXPECT_EQ(CutToUnits(shortText, TrayTipUnits), shortText);
    std::string exact(TrayTipUnits, 'a');
    EXPECT_EQ(CutToUnits(exact, TrayTipUnits), exact) << "a text that fits exactly is not cut";

    // Two-, three- and four-byte characters (the last two UTF-16 units) at every place of the cut.
    const std::string characters[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x93\x9E"};
    for (const std::string& character : characters)
        for (size_t lead = 118; lead < 128; ++lead) {
            std::string text = std::string(lead, 'x');
            for (int i = 0; i < 10; ++i)
                text += character;
            std::string cut = CutToUnits(text, TrayTipUnits);
            EXPECT_LE(Units(cut), TrayTipUnits) << lead;
            EXPECT_EQ(cut.substr(cut.size() - 3), "...") << lead;
            EXPECT_EQ(text.compare(0, cut.size() - 3, cut, 0, cut.size() - 3), 0) << "not a cut of the text";
            EXPECT_NE(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, cut.data(),
                                          static_cast<int>(cut.size()), nullptr, 0),
                      0)
                << "cut inside a character after " << lead;
            EXPECT_GE(Units(cut), TrayTipUnits - 2) << "cut shorter than it had to be";
        }

    // Bytes that start no character count one each and are kept as they are.
    std::string broken = std::string(200, '\xFF');
    EXPECT_EQ(CutToUnits(broken, TrayTipUnits), std::string(124, '\xFF') + "...");
    std::string truncatedSequence = std::string(130, 'x') + "\xF0\x9F";
    EXPECT_EQ(CutToUnits(truncatedSequence, TrayTipUnits), std::string(124, 'x') + "...");

    std::string longAddress = std::string(200, 'u') + "@example.com";
    Registration registered;
    registered.Requested(0);
    registered.OnEvent("REGISTER_OK", "200 OK", 1);
    EXPECT_EQ(Units(RegistrationTip(registered, longAddress)), TrayTipUnits);
    EXPECT_EQ(Units(ControlTip(false, std::string(300, '1'))), TrayTipUnits);
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

TEST_F(SipTray, WithAnAgentOfTheUsersOwnTheTipNamesTheConnection) {
    int nobody = sipaccount::Port.base + 148;
    ASSERT_TRUE(sipLink.Start(nobody, "c:\\temp\\SipTrayControl.log"));
    EXPECT_TRUE(WaitForTip("SipLink: no connection to the SIP user agent at 127.0.0.1:" +
                           std::to_string(nobody) + ", trying again"))
        << ShowTray();
}

TEST_F(SipTray, ExitInTheMenuEndsSipLinkItsAgentAndTheIcon) {
    StartSipLink();
    ASSERT_TRUE(WaitForTip(Registered())) << ShowTray();
    ASSERT_TRUE(AgentRunning());
    HWND window = TrayWindow();
    ASSERT_NE(window, nullptr) << "no tray window";
    // What the menu sends its window when the user clicks "Exit".
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(2, 0), 0);
    EXPECT_EQ(sipLink.WaitForEnd(Wait), 0u) << "SipLink did not end" << ShowLog();
    EXPECT_FALSE(AgentRunning()) << "the agent outlived SipLink";
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
    EXPECT_FALSE(AgentRunning()) << "the agent outlived SipLink";
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
