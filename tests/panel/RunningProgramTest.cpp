// The settings panel in the running DectBridge.exe, where a user sees it: the settings key on the first
// run, ShowOnlineOnly read as a number, the check box written through when clicked, the typed country code
// saved at shutdown, and a screenshot of the window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/res/resource.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/common/Program.h"
#include "tests/common/TestSupport.h"
#include "tests/common/ShellTray.h"
#include "tests/common/SkypeTestSupport.h"

namespace {

constexpr const char* SettingsPath = "SOFTWARE\\Skype\\Dect";
constexpr UINT WmMixerChange = 977;

struct Setting {
    DWORD type = 0; // 0: missing
    std::string data;
};

Setting ReadSetting(const char* name) {
    Setting setting;
    char data[256];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, SettingsPath, name, RRF_RT_ANY | RRF_NOEXPAND, &setting.type, data,
                     &size) == ERROR_SUCCESS)
        setting.data.assign(data, size);
    return setting;
}

void WriteSetting(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, SettingsPath, name, type, data, size))
        << name;
}

void WriteText(const char* name, const std::string& text) {
    WriteSetting(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string ItemText(HWND window, int id) {
    char text[256] = "";
    SendMessageA(GetDlgItem(window, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Checked(HWND window, int id) {
    return SendMessageA(GetDlgItem(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Makes the program reread its panel, as the phone library's mixer notice does.
void Refresh(HWND window) {
    SendMessageA(window, WmMixerChange, 0, 0);
}

class RunningPanel : public ::testing::Test {
  protected:
    void SetUp() override {
        SimReset();
        WithSim([](SimState& state) { state.config.plugged = 0; });
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsPath);
    }
    void TearDown() override {
        if (program.Proc().Running())
            program.Exit();
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsPath);
    }
    // Starts DectBridge.exe and answers its main window (nullptr when it did not show).
    HWND Start() { return program.Start() ? program.MainWindow() : nullptr; }
    test::Program program;
};

TEST_F(RunningPanel, FirstRunCreatesTheSettingsWithDefaults) {
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    for (auto [name, text] : {std::pair{"ShowOnlineOnly", "0"}, {"CountryCode", ""}, {"ScreenSize", "12"}}) {
        Setting setting = ReadSetting(name);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), setting.type) << name;
        EXPECT_EQ(std::string(text) + '\0', setting.data) << name;
    }
    EXPECT_FALSE(Checked(window, IDC_ONLINE_ONLY));
    EXPECT_EQ("", ItemText(window, IDC_COUNTRY_CODE));
    EXPECT_EQ("Not found", ItemText(window, IDC_DEVICE_INFO));
    EXPECT_TRUE(program.Exit());
}

TEST_F(RunningPanel, ShowOnlineOnlyIsReadAsANumber) {
    WriteText("ShowOnlineOnly", "0x10");
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    EXPECT_TRUE(Checked(window, IDC_ONLINE_ONLY)) << "\"0x10\" at start";

    for (auto [text, checked] :
         {std::pair{"010", true}, {"1", true}, {"abc", false}, {"0", false}, {"-1", true}}) {
        WriteText("ShowOnlineOnly", text);
        Refresh(window);
        EXPECT_EQ(checked, Checked(window, IDC_ONLINE_ONLY)) << "\"" << text << "\"";
    }
    struct Typed {
        DWORD type;
        std::string data;
        bool checked;
        const char* what;
    } typed[] = {
        {REG_DWORD, std::string("\0\0\0\0", 4), false, "DWORD 0"},
        {REG_DWORD, std::string("\x05\0\0\0", 4), true, "DWORD 5"},
        {REG_BINARY, std::string("0x1\0", 4), true, "binary \"0x1\""},
        {REG_MULTI_SZ, std::string("1\0\0", 3), false, "multi-string \"1\""},
        {REG_EXPAND_SZ, std::string("1\0", 2), false, "expandable \"1\""},
    };
    for (const Typed& t : typed) {
        WriteSetting("ShowOnlineOnly", t.type, t.data.data(), static_cast<DWORD>(t.data.size()));
        Refresh(window);
        EXPECT_EQ(t.checked, Checked(window, IDC_ONLINE_ONLY)) << t.what;
    }
    // The mixer notice's refresh keeps the hardware text.
    EXPECT_EQ("Not found", ItemText(window, IDC_DEVICE_INFO));
    // A value of a type the store does not load counts as missing: the default replaces it.
    Setting replaced = ReadSetting("ShowOnlineOnly");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), replaced.type);
    EXPECT_EQ(std::string("0", 2), replaced.data);
    EXPECT_TRUE(program.Exit());
}

TEST_F(RunningPanel, TheCheckBoxIsWrittenWhenClicked) {
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    SendMessageA(GetDlgItem(window, IDC_ONLINE_ONLY), BM_CLICK, 0, 0);
    EXPECT_TRUE(Checked(window, IDC_ONLINE_ONLY));
    EXPECT_EQ(std::string("1", 2), ReadSetting("ShowOnlineOnly").data);
    SendMessageA(GetDlgItem(window, IDC_ONLINE_ONLY), BM_CLICK, 0, 0);
    EXPECT_FALSE(Checked(window, IDC_ONLINE_ONLY));
    EXPECT_EQ(std::string("0", 2), ReadSetting("ShowOnlineOnly").data);
    EXPECT_TRUE(program.Exit());
}

TEST_F(RunningPanel, TheTypedCountryCodeIsSavedAsTypedAndAtShutdown) {
    WriteText("CountryCode", "33");
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    HWND edit = GetDlgItem(window, IDC_COUNTRY_CODE);
    EXPECT_EQ("33", ItemText(window, IDC_COUNTRY_CODE));

    // Select all and type over it; the edit takes digits only.
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("4x9"))
        SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ("49", ItemText(window, IDC_COUNTRY_CODE));
    EXPECT_EQ(std::string("49", 3), ReadSetting("CountryCode").data) << "not saved as typed";

    // The exit request another program sends runs the same shutdown as the Exit button.
    ASSERT_TRUE(program.Exit());
    Setting saved = ReadSetting("CountryCode");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), saved.type);
    EXPECT_EQ(std::string("49", 3), saved.data);
}

// Windows sends the mixer notice on any volume change anywhere: typing goes on where it was, and what was
// typed is kept even when the program is ended without its shutdown.
TEST_F(RunningPanel, AMixerNoticeKeepsTheCountryCodeBeingTyped) {
    WriteText("CountryCode", "33");
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    HWND edit = GetDlgItem(window, IDC_COUNTRY_CODE);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, '4', 0);
    Refresh(window);
    EXPECT_EQ("4", ItemText(window, IDC_COUNTRY_CODE)) << "the notice put the saved text back";
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u) << "the caret moved";
    EXPECT_EQ(end, 1u);
    SendMessageA(edit, WM_CHAR, '9', 0);
    Refresh(window);
    EXPECT_EQ("49", ItemText(window, IDC_COUNTRY_CODE));

    // The setting written by hand meanwhile does not replace what the user typed either.
    WriteText("CountryCode", "1");
    Refresh(window);
    EXPECT_EQ("49", ItemText(window, IDC_COUNTRY_CODE));
    SendMessageA(edit, WM_CHAR, '1', 0);
    program.Proc().Kill();
    EXPECT_EQ(std::string("491", 4), ReadSetting("CountryCode").data) << "what was typed was lost";
}

TEST_F(RunningPanel, Screenshot) {
    WriteText("CountryCode", "44");
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    test::WaitUntil([] { return false; }, 500);
    EXPECT_TRUE(tray_test::SaveScreenshot(window, "panel-main-window.bmp")) << tray_test::ScreenshotFolder();
    EXPECT_TRUE(program.Exit());
}

// With a base in service and Skype away, the window shows the link down every 200 ms; the country code
// typed meanwhile is what was typed, a key a moment apart.
TEST_F(RunningPanel, TheCountryCodeIsTakenAsTypedWhileSkypeIsAway) {
    WithSim([](SimState& state) { state.config.plugged = 1; });
    skype_test::SetSkypeKey(true);
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.initialised; }, 5000))
        << "the base was not served";
    HWND edit = GetDlgItem(window, IDC_COUNTRY_CODE);
    for (char c : std::string("491")) {
        PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
        test::WaitUntil([] { return false; }, 450);
    }
    // The keys are posted: the window may still be taking the last one.
    EXPECT_TRUE(test::WaitUntil([&] { return ItemText(window, IDC_COUNTRY_CODE) == "491"; }, 5000))
        << ItemText(window, IDC_COUNTRY_CODE);
    ASSERT_TRUE(program.Exit());
    EXPECT_EQ(std::string("491", 4), ReadSetting("CountryCode").data);
}

// Enter in the country code edit is no Exit: the program runs on with the text as typed.
TEST_F(RunningPanel, EnterInTheCountryCodeKeepsTheProgramRunning) {
    HWND window = Start();
    ASSERT_TRUE(window != nullptr);
    HWND edit = GetDlgItem(window, IDC_COUNTRY_CODE);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("44"))
        SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
    // The dialog manager turns Enter into the Exit button's command unless the edit asks for the key.
    MSG enter = {edit, WM_KEYDOWN, VK_RETURN, 1, 0, {0, 0}};
    LRESULT wanted = SendMessageA(edit, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter));
    EXPECT_NE(wanted & DLGC_WANTMESSAGE, 0) << "the edit leaves Enter to the dialog: code " << wanted;
    // As the keyboard delivers Enter: through the program's own message loop.
    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(edit, WM_CHAR, '\r', 1);
    PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    EXPECT_EQ(program.Proc().Wait(1500), static_cast<DWORD>(STILL_ACTIVE)) << "Enter ended the program";
    EXPECT_EQ("44", ItemText(window, IDC_COUNTRY_CODE));

    // The Exit button still exits, in order.
    SendMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    EXPECT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE)) << "Exit did not end the program";
    EXPECT_EQ(std::string("44", 3), ReadSetting("CountryCode").data);
}

} // namespace
