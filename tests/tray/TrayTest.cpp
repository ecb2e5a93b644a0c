// The tray icon, its menu and the About box of the running DectBridge.exe, seen through the shell the way
// a user sees them: the icon's picture and tip, the menu the icon opens, the windows that come and go.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "app/res/resource.h"
#include "sim/control/SimControl.h"
#include "tests/common/Program.h"
#include "tests/common/ShellTray.h"

using namespace tray_test;

namespace {

constexpr const char* AboutTitle = "USB Dect phone";
constexpr UINT TrayCallback = 1124;
constexpr int OpDetachWindow = 17;
constexpr int OpCloseMixer = 32;
constexpr int OpCloseDevice = 1;

// Tip and picture for each of the four states.
struct TrayLook {
    const char* tip;
    int iconId;
};
const TrayLook AbsentOffline = {"TRL-400 Not Found, Skype Offline.", IDI_TRAY_NOT_FOUND};
const TrayLook AbsentOnline = {"TRL-400 Not Found, Skype Online", IDI_TRAY_NOT_FOUND};
const TrayLook PresentOffline = {"TRL-400 Found, Skype Offline.", IDI_TRAY_FOUND_OFFLINE};
const TrayLook PresentOnline = {"TRL-400 Found, Skype Online.", IDI_TRAY_FOUND_ONLINE};
const int TrayPictures[] = {IDI_TRAY_NOT_FOUND, IDI_TRAY_FOUND_OFFLINE, IDI_TRAY_FOUND_ONLINE};
// Of a small icon's 256 pixels; the three pictures differ from each other in more than 20.
constexpr int MaxEdgeDifferences = 10;

DWORD WindowPid(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// A visible top-level window of the process with this class (and title, when given).
HWND FindProcessWindow(DWORD pid, const char* className, const char* title = nullptr) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, title)) != nullptr)
        if (WindowPid(window) == pid && IsWindowVisible(window))
            return window;
    return nullptr;
}

std::string Describe(const RECT& r) {
    std::ostringstream text;
    text << r.left << "," << r.top << " " << r.right - r.left << "x" << r.bottom - r.top;
    return text.str();
}

// The library operations of interest, in the order the program called them, from call `from` on.
std::string ShutdownCalls(size_t from) {
    std::vector<SimCall> calls = SimCalls();
    std::ostringstream text;
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].op == OpDetachWindow || calls[i].op == OpCloseMixer || calls[i].op == OpCloseDevice)
            text << (text.tellp() > 0 ? " " : "") << calls[i].op;
    return text.str();
}

// Ids of the running processes whose program file is `exeName`.
std::set<DWORD> ProcessesNamed(const char* exeName) {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, exeName) == 0)
            ids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

// The command line another process was started with, read from its process parameters.
std::string CommandLineOf(HANDLE process) {
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return "";
    std::wstring wide(parameters.CommandLine.Length / sizeof(WCHAR), L'\0');
    if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, &wide[0], parameters.CommandLine.Length,
                           nullptr))
        return "";
    char narrow[2048] = "";
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

// A notify icon of the test's own, to learn whether this shell shows icons as windows at all.
bool ShellShowsIconWindows() {
    HWND owner =
        CreateWindowExA(0, "STATIC", "tray probe", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    std::vector<HWND> before = TrayIconWindows();
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uFlags = NIF_ICON;
    data.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    bool added = Shell_NotifyIconA(NIM_ADD, &data);
    bool shown = added && test::WaitUntil([&] { return TrayIconWindows().size() > before.size(); }, 3000);
    if (added)
        Shell_NotifyIconA(NIM_DELETE, &data);
    DestroyWindow(owner);
    return shown;
}

class Tray : public ::testing::Test {
  protected:
    void SetUp() override {
        SimReset();
        // No base unless a test plugs one in, so that nothing else (Skype's discovery) starts.
        WithSim([](SimState& state) { state.config.plugged = 0; });
        DropDeadTrayIcons();
        if (!ShellShowsIconWindows())
            GTEST_SKIP() << "this shell shows no notify-icon windows (Wine's standalone tray); the tray "
                            "icon cannot be observed here";
        std::vector<HWND> icons = TrayIconWindows();
        iconsBefore.insert(icons.begin(), icons.end());
    }

    // Starts the program; answers its tray icon window, or null when none came.
    HWND Start() {
        if (!program.Start())
            return nullptr;
        return WaitForIcon();
    }

    // The Skype peer, not attached until it is told to reply.
    bool StartPeer() {
        if (!peer.Start(test::BinDir() + "\\SkypePeer.exe", "/attach none"))
            return false;
        peerControl = test::WaitForWindow("Skype Peer Control", 5000);
        return peerControl != nullptr;
    }
    bool PeerCommand(std::string command) {
        COPYDATASTRUCT data = {0, static_cast<DWORD>(command.size() + 1), &command[0]};
        return SendMessageA(peerControl, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) == 1;
    }
    bool StopPeer() {
        PeerCommand("quit");
        return peer.Wait(5000) != STILL_ACTIVE;
    }

    HWND WaitForIcon() {
        HWND found = nullptr;
        test::WaitUntil(
            [&] {
                for (HWND icon : TrayIconWindows())
                    if (!iconsBefore.count(icon))
                        found = icon;
                return found != nullptr;
            },
            5000);
        return found;
    }

    bool IconGone(HWND icon) {
        return test::WaitUntil(
            [&] {
                std::vector<HWND> icons = TrayIconWindows();
                return std::find(icons.begin(), icons.end(), icon) == icons.end();
            },
            5000);
    }

    // Waits until the shell shows this tip and picture; the failure tells what it shows instead. The shell
    // redraws the picture from its own copy, which may differ from ours in a few edge pixels: the picture
    // shown must be nearest to the expected one of the three, and close to it.
    void ExpectLook(HWND icon, const TrayLook& look) {
        auto nearest = [&] {
            Pixels shown = ShownTrayIcon(icon);
            int best = 0;
            int fewest = shown.width * shown.height + 1;
            for (int id : TrayPictures) {
                int differences = CountDifferences(shown, Expected(icon, id));
                if (differences < fewest) {
                    best = id;
                    fewest = differences;
                }
            }
            return fewest <= MaxEdgeDifferences ? best : 0;
        };
        if (test::WaitUntil([&] { return TrayTip(icon) == look.tip && nearest() == look.iconId; }, 8000))
            return;
        std::ostringstream pictures;
        Pixels shown = ShownTrayIcon(icon);
        for (int id : TrayPictures)
            pictures << " icon " << id << ": " << CountDifferences(shown, Expected(icon, id))
                     << " pixels differ;";
        ADD_FAILURE() << "expected tip \"" << look.tip << "\" and icon " << look.iconId << "\n  shown tip \""
                      << TrayTip(icon) << "\";" << pictures.str();
    }

    static Pixels Expected(HWND icon, int iconId) {
        // The shell draws the picture on the icon window's own background, seen at its corner.
        RECT rect;
        GetWindowRect(icon, &rect);
        RECT corner = {rect.left, rect.top, rect.left + 1, rect.top + 1};
        Pixels background = CaptureScreen(corner);
        return RenderSmallIcon(iconId, background.rgb.empty() ? 0 : background.rgb[0]);
    }

    // Right click on the icon, as the pointer would; answers the menu window once it is open.
    HWND OpenMenu(HWND icon) {
        PostTrayMouse(icon, WM_RBUTTONDOWN);
        PostTrayMouse(icon, WM_RBUTTONUP);
        HWND menu = nullptr;
        test::WaitUntil([&] { return (menu = FindProcessWindow(program.Proc().Id(), "#32768")) != nullptr; },
                        5000);
        return menu;
    }

    bool MenuClosed() {
        return test::WaitUntil([&] { return FindProcessWindow(program.Proc().Id(), "#32768") == nullptr; },
                               5000);
    }

    // How the menu's item at `index` (of three) is drawn: pixels in the menu text colour and in the grey
    // text colour, inside the menu's frame (whose shadow has the grey text's colour). An enabled item shows
    // the former; a greyed one only the latter.
    struct ItemInk {
        int text;
        int grey;
    };
    static ItemInk ItemDrawn(HWND menu, int index) {
        constexpr int Frame = 4;
        RECT rect;
        GetWindowRect(menu, &rect);
        InflateRect(&rect, -Frame, -Frame);
        Pixels pixels = CaptureScreen(rect);
        int top = pixels.height * index / 3;
        int bottom = pixels.height * (index + 1) / 3;
        return {CountColour(pixels, top, bottom, SystemRgb(COLOR_MENUTEXT)),
                CountColour(pixels, top, bottom, SystemRgb(COLOR_GRAYTEXT))};
    }
    // Whether the item is drawn so within a while: a menu the display server shows late may be painted
    // twice, and a look taken between its erasing and its painting shows neither. An enabled item is never
    // drawn greyed, nor a greyed one enabled.
    static bool ItemDrawnEnabled(HWND menu, int index) {
        return test::WaitUntil([&] { return ItemDrawn(menu, index).text > 0; }, 5000);
    }
    static bool ItemDrawnGreyed(HWND menu, int index) {
        return test::WaitUntil(
            [&] {
                ItemInk ink = ItemDrawn(menu, index);
                return ink.text == 0 && ink.grey > 0;
            },
            5000);
    }

    std::set<HWND> iconsBefore;
    test::Program program;
    test::Process peer;
    HWND peerControl = nullptr;
};

TEST_F(Tray, FollowsTheBaseAndSkypeThroughAllFourStates) {
    ASSERT_TRUE(StartPeer()) << "the Skype peer did not start";
    HWND icon = Start();
    ASSERT_NE(icon, nullptr) << "no tray icon after start";
    ExpectLook(icon, AbsentOffline);

    // The base comes: in service three seconds later, Skype not yet attached.
    ASSERT_TRUE(SimPlug());
    ExpectLook(icon, PresentOffline);
    ASSERT_TRUE(PeerCommand("reply 0"));
    ExpectLook(icon, PresentOnline);
    // The base goes; Skype stays attached, and the tip has no full stop.
    ASSERT_TRUE(SimUnplug());
    ExpectLook(icon, AbsentOnline);

    // A device that is not a base arrives: nothing is in service, but it counts as present when Skype's
    // state is shown again.
    WithSim([](SimState& state) { state.config.productId = 50000; });
    ASSERT_TRUE(SimPlug());
    Sleep(3500);
    ExpectLook(icon, AbsentOnline);
    ASSERT_TRUE(PeerCommand("reply 0"));
    ExpectLook(icon, PresentOnline);

    EXPECT_TRUE(program.Exit());
    EXPECT_TRUE(IconGone(icon)) << "the icon stayed after the exit";
    EXPECT_TRUE(StopPeer());
}

TEST_F(Tray, AfterTheShellStartsAnewTheIconComesBackAsItWas) {
    // With Skype attached and the base in service the program has no reason of its own to touch the icon.
    ASSERT_TRUE(StartPeer()) << "the Skype peer did not start";
    HWND icon = Start();
    ASSERT_NE(icon, nullptr) << "no tray icon after start";
    ASSERT_TRUE(SimPlug());
    ExpectLook(icon, PresentOffline);
    ASSERT_TRUE(PeerCommand("reply 0"));
    ExpectLook(icon, PresentOnline);

    // A shell that starts anew has none of the icons of the one before...
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = program.MainWindow();
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    ASSERT_TRUE(IconGone(icon));
    // ...and then tells every top-level window.
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    HWND again = WaitForIcon();
    ASSERT_NE(again, nullptr) << "the icon did not come back";
    ExpectLook(again, PresentOnline);

    EXPECT_TRUE(program.Exit());
    EXPECT_TRUE(IconGone(again)) << "the icon stayed after the exit";
    EXPECT_TRUE(StopPeer());
}

TEST_F(Tray, CloseBoxRemovesTheIconAndShutsDown) {
    HWND icon = Start();
    ASSERT_NE(icon, nullptr) << "no tray icon after start";
    size_t callsBefore = SimCalls().size();
    PostMessageA(program.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IconGone(icon)) << "the icon stayed after the close box";
    EXPECT_NE(program.Proc().Wait(10000), STILL_ACTIVE) << "the program did not end";
    EXPECT_EQ(ShutdownCalls(callsBefore), "17 32 1");
}

TEST_F(Tray, MinimiseHidesAndTheIconOrASecondStartBringsTheWindowBack) {
    HWND icon = Start();
    ASSERT_NE(icon, nullptr) << "no tray icon after start";
    HWND main = program.MainWindow();
    RECT normal;
    GetWindowRect(main, &normal);
    // Once every control has painted.
    Sleep(1000);
    EXPECT_TRUE(SaveScreenshot(main, "main-window.bmp"));

    auto minimise = [&] {
        PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return test::WaitUntil([&] { return !IsWindowVisible(main); }, 5000);
    };
    auto expectBack = [&](const char* how) {
        bool back = test::WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }, 5000);
        ASSERT_TRUE(back) << how << ": visible " << IsWindowVisible(main) << ", minimised " << IsIconic(main);
        test::WaitUntil([&] { return GetForegroundWindow() == main; }, 2000);
        RECT now;
        GetWindowRect(main, &now);
        EXPECT_EQ(Describe(now), Describe(normal)) << how << ": not in its normal size and place";
        EXPECT_EQ(GetForegroundWindow(), main) << how << ": not in front";
        // Wine gives the focus once the display server has answered, a moment after the window comes to the
        // front.
        GUITHREADINFO thread = {};
        auto focused = [&] {
            thread = {};
            thread.cbSize = sizeof thread;
            GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &thread);
            return thread.hwndFocus == main || IsChild(main, thread.hwndFocus);
        };
        EXPECT_TRUE(test::WaitUntil(focused, 3000)) << how << ": the focus is on " << thread.hwndFocus;
    };

    ASSERT_TRUE(minimise()) << "minimising did not hide the window";
    // Only icon 0 and only a double click bring it back.
    PostMessageA(main, TrayCallback, 1, WM_LBUTTONDBLCLK);
    PostMessageA(main, TrayCallback, 0, WM_LBUTTONDOWN);
    PostMessageA(main, TrayCallback, 0, WM_LBUTTONUP);
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(main)) << "a message other than icon 0's double click showed the window";

    PostMessageA(main, TrayCallback, 0, WM_LBUTTONDBLCLK);
    expectBack("the callback's double click");

    ASSERT_TRUE(minimise());
    PostTrayMouse(icon, WM_LBUTTONDBLCLK);
    expectBack("a double click on the shell's icon");

    ASSERT_TRUE(minimise());
    test::Process second;
    ASSERT_TRUE(second.Start(test::BinDir() + "\\DectBridge.exe"));
    EXPECT_EQ(second.Wait(10000), 0u) << "the second copy did not end";
    expectBack("a second start");
}

TEST_F(Tray, MenuGreysAboutWhileTheAboutBoxIsOpenAndExitStillShutsDown) {
    HWND icon = Start();
    ASSERT_NE(icon, nullptr) << "no tray icon after start";
    HWND main = program.MainWindow();
    DWORD pid = program.Proc().Id();

    HWND menu = OpenMenu(icon);
    ASSERT_NE(menu, nullptr) << "a right click on the icon opened no menu";
    EXPECT_TRUE(SaveScreenshot(menu, "tray-menu.bmp"));
    EXPECT_TRUE(ItemDrawnEnabled(menu, 0)) << "\"&About\" is not enabled before the About box ran";
    EXPECT_TRUE(ItemDrawnEnabled(menu, 2)) << "\"&Exit\" is not enabled";
    PostMessageA(menu, WM_CHAR, 'a', 0);

    HWND about = nullptr;
    ASSERT_TRUE(test::WaitUntil(
        [&] { return (about = FindProcessWindow(pid, "#32770", AboutTitle)) != nullptr; }, 5000))
        << "\"&About\" opened no About box";
    Sleep(300);
    EXPECT_TRUE(SaveScreenshot(about, "about-box.bmp"));
    EXPECT_EQ(GetWindow(about, GW_OWNER), main) << "the About box is not owned by the main window";
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window stays enabled under the About box";

    // While it is open the menu offers About greyed, and choosing it does nothing.
    menu = OpenMenu(icon);
    ASSERT_NE(menu, nullptr) << "no menu while the About box is open";
    EXPECT_TRUE(ItemDrawnGreyed(menu, 0)) << "\"&About\" is not greyed while the About box is open";
    EXPECT_TRUE(ItemDrawnEnabled(menu, 2)) << "\"&Exit\" is not enabled while the About box is open";
    PostMessageA(menu, WM_CHAR, 'a', 0);
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(MenuClosed());
    Sleep(300);
    HWND second = nullptr;
    while ((second = FindWindowExA(nullptr, second, "#32770", AboutTitle)) != nullptr)
        EXPECT_TRUE(second == about || WindowPid(second) != pid) << "a second About box opened";

    // Exit from the menu runs the whole shutdown, with the About box still open.
    size_t callsBefore = SimCalls().size();
    menu = OpenMenu(icon);
    ASSERT_NE(menu, nullptr) << "no menu for Exit";
    PostMessageA(menu, WM_CHAR, 'e', 0);
    EXPECT_TRUE(test::WaitUntil([&] { return !IsWindow(main); }, 10000)) << "the main window stayed";
    EXPECT_NE(program.Proc().Wait(10000), STILL_ACTIVE) << "the program did not end";
    EXPECT_EQ(ShutdownCalls(callsBefore), "17 32 1");
    EXPECT_TRUE(IconGone(icon)) << "the icon stayed after Exit";
}

TEST_F(Tray, DismissedMenuChangesNothing) {
    HWND icon = Start();
    ASSERT_NE(icon, nullptr) << "no tray icon after start";
    HWND main = program.MainWindow();
    size_t callsBefore = SimCalls().size();

    HWND menu = OpenMenu(icon);
    ASSERT_NE(menu, nullptr) << "a right click on the icon opened no menu";
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(MenuClosed()) << "Escape did not close the menu";
    Sleep(500);

    EXPECT_TRUE(program.Proc().Running());
    EXPECT_TRUE(IsWindowVisible(main) && IsWindowEnabled(main));
    EXPECT_EQ(FindProcessWindow(program.Proc().Id(), "#32770", AboutTitle), nullptr) << "an About box opened";
    EXPECT_EQ(SimCalls().size(), callsBefore) << "the library was called";
    EXPECT_EQ(TrayTip(icon), AbsentOffline.tip);
    // The menu opens again as before.
    menu = OpenMenu(icon);
    ASSERT_NE(menu, nullptr) << "the menu did not open a second time";
    EXPECT_TRUE(ItemDrawnEnabled(menu, 0));
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(MenuClosed());
}

TEST_F(Tray, UpdateOpensTheUpdateFolderInTheBrowser) {
    constexpr const char* Browser = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
    if (GetFileAttributesA(Browser) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no browser at " << Browser << ": Update would do nothing visible";
    HWND icon = Start();
    ASSERT_NE(icon, nullptr) << "no tray icon after start";
    std::set<DWORD> before = ProcessesNamed("iexplore.exe");

    HWND menu = OpenMenu(icon);
    ASSERT_NE(menu, nullptr) << "a right click on the icon opened no menu";
    // "Update" has no mnemonic: the second item, by the arrow keys.
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(MenuClosed());

    DWORD browserId = 0;
    test::WaitUntil(
        [&] {
            for (DWORD id : ProcessesNamed("iexplore.exe"))
                if (!before.count(id))
                    browserId = id;
            return browserId != 0;
        },
        10000);
    ASSERT_NE(browserId, 0u) << "Update started no browser";
    HANDLE browser =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, browserId);
    ASSERT_NE(browser, nullptr);
    std::string commandLine = CommandLineOf(browser);
    // The browser this test made the program start is ended by the test.
    TerminateProcess(browser, 0);
    WaitForSingleObject(browser, 5000);
    CloseHandle(browser);
    EXPECT_NE(commandLine.find("iexplore.exe"), std::string::npos) << commandLine;
    std::string url = " ftp://updates.dectbridge.invalid/VoIP/TRL-400/utility/";
    EXPECT_TRUE(commandLine.size() >= url.size() &&
                commandLine.compare(commandLine.size() - url.size(), url.size(), url) == 0)
        << "browser started as: " << commandLine;
    EXPECT_TRUE(program.Proc().Running());
    EXPECT_TRUE(IsWindowVisible(program.MainWindow()));
}

} // namespace
