// The device and settings panel in a main window of the test's own, against the simulated phone library:
// levels, mute switches, the serial number and the device icon need a product and an open mixer, which the
// test sets directly.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "app/res/resource.h"
#include "chip/PhoneLibrary.h"
#include "sim/control/SimControl.h"
#include "tests/common/TestSupport.h"
#include "tests/common/ShellTray.h"

namespace {

constexpr const char* SettingsPath = "SOFTWARE\\Skype\\Dect";
constexpr DWORD DectProduct = 50076;

// A main window created hidden in this process; Shutdown releases the library, the tray icon and the
// exit-request window as the program does.
class PanelWindow {
  public:
    PanelWindow() { window = dialog.CreateModeless(); }
    ~PanelWindow() {
        dialog.Shutdown();
        // Shutdown ends the run with WM_QUIT; this thread has no run to end.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    MainDialog dialog;
    HWND window = nullptr;

    HWND Item(int id) const { return GetDlgItem(window, id); }
    std::string ItemText(int id) const {
        char text[256] = "";
        GetWindowTextA(Item(id), text, sizeof text);
        return text;
    }
    int BarPosition(int id) const { return static_cast<int>(SendMessageA(Item(id), TBM_GETPOS, 0, 0)); }
    // Shown by the panel; the window itself may be hidden.
    bool Shown(int id) const { return (GetWindowLongA(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool Checked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
    // The icon static beside "Hardware:", made at run time at 15, 15.
    HWND DeviceIcon() const {
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect;
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && rect.left == 15 &&
                rect.top == 15)
                return child;
        }
        return nullptr;
    }
};

std::vector<SimCall> CallsOf(int op) {
    std::vector<SimCall> found;
    for (const SimCall& call : SimCalls())
        if (call.op == op)
            found.push_back(call);
    return found;
}

void ClearSimCalls() {
    WithSim([](SimState& state) { state.callCount = 0; });
}

template <class T> T SimValue(T SimConfig::*field) {
    return WithSim([field](SimState& state) { return state.config.*field; });
}

HICON ResourceIcon(int id) {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

class Panel : public ::testing::Test {
  protected:
    void SetUp() override {
        SimReset();
        // Unplugged, the library answers the window's hand-over with 1: no device start-up runs.
        WithSim([](SimState& state) { state.config.plugged = 0; });
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsPath);
        window = std::make_unique<PanelWindow>();
        ASSERT_TRUE(panel().window != nullptr) << "the main window was not created";
    }
    void TearDown() override {
        window.reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsPath);
    }

    void SetLevels(DWORD speaker, DWORD mic) {
        WithSim([=](SimState& state) {
            state.config.speakerLevel = speaker;
            state.config.micLevel = mic;
        });
    }

    PanelWindow& panel() { return *window; }
    std::unique_ptr<PanelWindow> window;
};

TEST_F(Panel, BarsShowHalfTheLibraryLevel) {
    SetLevels(65535, 30001);
    panel().dialog.RefreshDevicePanel(0, DectProduct, true);
    EXPECT_EQ(32767, panel().BarPosition(IDC_SPEAKER_LEVEL));
    EXPECT_EQ(15000, panel().BarPosition(IDC_MIC_LEVEL));
    for (int id : {IDC_SPEAKER_LEVEL, IDC_MIC_LEVEL}) {
        HWND bar = panel().Item(id);
        EXPECT_EQ(0, SendMessageA(bar, TBM_GETRANGEMIN, 0, 0)) << id;
        EXPECT_EQ(32767, SendMessageA(bar, TBM_GETRANGEMAX, 0, 0)) << id;
        EXPECT_EQ(8191, SendMessageA(bar, TBM_GETPAGESIZE, 0, 0)) << id;
        EXPECT_EQ(2047, SendMessageA(bar, TBM_GETTIC, 0, 0)) << "first tick of " << id;
    }
}

TEST_F(Panel, MovingABarSetsTwiceItsPosition) {
    SetLevels(1000, 1000);
    panel().dialog.RefreshDevicePanel(0, DectProduct, true);
    ClearSimCalls();

    // The keyboard moves a bar as a user does; the bar reports to the window itself.
    SendMessageA(panel().Item(IDC_SPEAKER_LEVEL), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(65534u, SimValue(&SimConfig::speakerLevel));
    SendMessageA(panel().Item(IDC_MIC_LEVEL), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(0u, SimValue(&SimConfig::micLevel));
    SendMessageA(panel().Item(IDC_MIC_LEVEL), WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(2u * 8191u, SimValue(&SimConfig::micLevel));

    // Each step of a drag sets the level.
    ClearSimCalls();
    HWND speaker = panel().Item(IDC_SPEAKER_LEVEL);
    for (int position : {100, 200, 300}) {
        SendMessageA(speaker, TBM_SETPOS, TRUE, position);
        SendMessageA(panel().window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                     reinterpret_cast<LPARAM>(speaker));
    }
    std::vector<SimCall> sets = CallsOf(OpSetSpeakerVolume);
    ASSERT_EQ(3u, sets.size());
    EXPECT_EQ(200u, sets[0].b);
    EXPECT_EQ(400u, sets[1].b);
    EXPECT_EQ(600u, sets[2].b);

    // Scroll notices that name no bar of the panel set nothing.
    ClearSimCalls();
    SendMessageA(panel().window, WM_HSCROLL, TB_ENDTRACK, 0);
    SendMessageA(panel().window, WM_HSCROLL, TB_ENDTRACK,
                 reinterpret_cast<LPARAM>(panel().Item(IDC_SPEAKER_MUTE)));
    SendMessageA(panel().window, WM_HSCROLL, TB_ENDTRACK, 0x12345678);
    EXPECT_TRUE(CallsOf(OpSetSpeakerVolume).empty());
    EXPECT_TRUE(CallsOf(OpSetMicVolume).empty());
}

TEST_F(Panel, MuteBoxesShowAndSetTheLibrarysSwitches) {
    WithSim([](SimState& state) {
        state.config.speakerMute = 1;
        state.config.micMute = 0;
    });
    panel().dialog.RefreshDevicePanel(0, DectProduct, true);
    EXPECT_TRUE(panel().Checked(IDC_SPEAKER_MUTE));
    EXPECT_FALSE(panel().Checked(IDC_MIC_MUTE));

    ClearSimCalls();
    SendMessageA(panel().Item(IDC_MIC_MUTE), BM_CLICK, 0, 0);
    EXPECT_EQ(1, SimValue(&SimConfig::micMute));
    EXPECT_EQ(1, SimValue(&SimConfig::speakerMute));
    EXPECT_TRUE(CallsOf(OpSetSpeakerMute).empty());

    SendMessageA(panel().Item(IDC_SPEAKER_MUTE), BM_CLICK, 0, 0);
    EXPECT_EQ(0, SimValue(&SimConfig::speakerMute));
    ASSERT_EQ(1u, CallsOf(OpSetSpeakerMute).size());
}

TEST_F(Panel, AudioControlsWorkOnlyWithTheMixer) {
    const int audio[] = {IDC_SPEAKER_LABEL, IDC_SPEAKER_LEVEL, IDC_SPEAKER_MUTE,
                         IDC_MIC_LABEL,     IDC_MIC_LEVEL,     IDC_MIC_MUTE};
    SetLevels(20000, 10000);
    panel().dialog.RefreshDevicePanel(0, DectProduct, true);
    for (int id : audio)
        EXPECT_TRUE(IsWindowEnabled(panel().Item(id))) << "control " << id << " with the mixer";

    // Without the mixer nothing is read and the bars keep their places.
    SetLevels(60000, 60000);
    ClearSimCalls();
    panel().dialog.RefreshDevicePanel(0, DectProduct, false);
    for (int id : audio)
        EXPECT_FALSE(IsWindowEnabled(panel().Item(id))) << "control " << id << " without the mixer";
    for (const SimCall& call : SimCalls())
        EXPECT_EQ(OpGetSerialNumber, call.op) << "library call without the mixer";
    EXPECT_EQ(10000, panel().BarPosition(IDC_SPEAKER_LEVEL));
    EXPECT_EQ(5000, panel().BarPosition(IDC_MIC_LEVEL));
}

TEST_F(Panel, SerialNumberShowsOnlyWhenKnown) {
    struct Case {
        DWORD product;
        const char* serial;
        bool shown;
        int icon;
    } cases[] = {
        {DectProduct, "TRL400-00042", true, IDI_STATE_ON},
        {DectProduct, "", false, IDI_STATE_ON},
        {0, "TRL400-00042", false, IDI_STATE_OFF},
        {1234, "OTHER-7", true, IDI_STATE_OFF},
    };
    for (const Case& c : cases) {
        WithSim([&](SimState& state) { std::strcpy(state.config.serial, c.serial); });
        ClearSimCalls();
        panel().dialog.RefreshDevicePanel(IDS_MODEL_NAME, c.product, false);
        SCOPED_TRACE(std::string("product ") + std::to_string(c.product) + " serial \"" + c.serial + "\"");
        EXPECT_EQ(c.shown, panel().Shown(IDC_SERIAL_LABEL));
        EXPECT_EQ(c.shown, panel().Shown(IDC_SERIAL_VALUE));
        EXPECT_EQ(c.product ? c.serial : "", panel().ItemText(IDC_SERIAL_VALUE));
        EXPECT_EQ(c.product ? 1u : 0u, CallsOf(OpGetSerialNumber).size());
        HICON shown = reinterpret_cast<HICON>(SendMessageA(panel().DeviceIcon(), STM_GETICON, 0, 0));
        EXPECT_EQ(ResourceIcon(c.icon), shown) << "expected icon " << c.icon;
    }
}

// The library may fill all 32 bytes of the serial number without a terminator.
TEST_F(Panel, SerialNumberFillingItsWholeBufferStaysWhole) {
    WithSim([](SimState& state) { std::memset(state.config.serial, 'S', sizeof state.config.serial); });
    panel().dialog.RefreshDevicePanel(IDS_MODEL_NAME, DectProduct, false);
    EXPECT_EQ(std::string(32, 'S'), panel().ItemText(IDC_SERIAL_VALUE));
}

TEST_F(Panel, ARefreshWithoutTextKeepsTheHardwareText) {
    EXPECT_EQ("Not found", panel().ItemText(IDC_DEVICE_INFO));
    SetLevels(2000, 4000);
    panel().dialog.RefreshDevicePanel(IDS_MODEL_NAME, DectProduct, true);
    EXPECT_EQ("TRL-400", panel().ItemText(IDC_DEVICE_INFO));

    // The mixer-change refresh still rereads levels and settings.
    SetLevels(8000, 6000);
    RegSetKeyValueA(HKEY_CURRENT_USER, SettingsPath, "ShowOnlineOnly", REG_SZ, "1", 2);
    panel().dialog.RefreshDevicePanel(0, DectProduct, true);
    EXPECT_EQ("TRL-400", panel().ItemText(IDC_DEVICE_INFO));
    EXPECT_EQ(4000, panel().BarPosition(IDC_SPEAKER_LEVEL));
    EXPECT_EQ(3000, panel().BarPosition(IDC_MIC_LEVEL));
    EXPECT_TRUE(panel().Checked(IDC_ONLINE_ONLY));

    panel().dialog.RefreshDevicePanel(IDS_OPENING, DectProduct, true);
    EXPECT_EQ("Opening VOIP device...", panel().ItemText(IDC_DEVICE_INFO));
}

TEST_F(Panel, MinimisedWindowShowsTheProgramIcon) {
    LRESULT dragIcon = SendMessageA(panel().window, WM_QUERYDRAGICON, 0, 0);
    EXPECT_EQ(reinterpret_cast<LRESULT>(ResourceIcon(IDI_APP)), dragIcon);
    EXPECT_NE(0, dragIcon);
}

// The whole window with a base and an open mixer, for a look by eye.
TEST_F(Panel, ScreenshotWithABase) {
    SetLevels(40000, 30000);
    panel().dialog.RefreshDevicePanel(IDS_MODEL_NAME, DectProduct, true);
    SetWindowPos(panel().window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(panel().window);
    test::WaitUntil([] { return false; }, 300);
    EXPECT_TRUE(tray_test::SaveScreenshot(panel().window, "panel-main-window-with-base.bmp"))
        << tray_test::ScreenshotFolder();
}

} // namespace
