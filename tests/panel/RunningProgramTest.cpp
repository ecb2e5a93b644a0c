// The settings panel in the running DectBridge.exe, where a user sees it: the settings key on the first
// run, ShowOnlineOnly read as a number, the check box written through when clicked, the typed country code
// saved at shutdown, and a screenshot of the window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/res/resource.h"
#include "sim/control/SimControl.h"
#include "tests/common/TestSupport.h"
#include "tests/panel/Screenshot.h"

namespace {

constexpr const char* SettingsPath = "SOFTWARE\\Skype\\Dect";
constexpr const char* WindowTitle = "TRL-400 1.2";
constexpr UINT WmMixerChange = 977;

struct Setting {
    DWORD type = 0; // 0: missing
    std::string data;
};

Setting ReadSetting(const char* name) {
    Setting setting;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return setting;
    char data[256] = "";
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(key, name, nullptr, &setting.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS)
        setting.data.assign(data, size);
    RegCloseKey(key);
    return setting;
}

void WriteSetting(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, SettingsPath, name, type, data, size))
        << name;
}

void WriteText(const char* name, const std::string& text) {
    WriteSetting(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// DectBridge.exe with no base plugged in: the panel works without a device.
class RunningProgram {
  public:
    bool Start() {
        if (!process.Start(test::BinDir() + "\\DectBridge.exe"))
            return false;
        DWORD pid = process.Id();
        test::WaitUntil(
            [&] {
                window = FindWindowA("#32770", WindowTitle);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                return window && owner == pid && IsWindowVisible(window);
            },
            15000);
        return window != nullptr;
    }
    // Exits as the Exit button does; answers whether the program ended.
    bool Exit() {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return process.Wait(15000) != STILL_ACTIVE;
    }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    std::string ItemText(int id) const {
        char text[256] = "";
        SendMessageA(Item(id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // Makes the program reread its panel, as the phone library's mixer notice does.
    void Refresh() const { SendMessageA(window, WmMixerChange, 0, 0); }

    test::Process process;
    HWND window = nullptr;
};

class RunningPanel : public ::testing::Test {
  protected:
    void SetUp() override {
        SimReset();
        WithSim([](SimState& state) { state.config.plugged = 0; });
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsPath);
    }
    void TearDown() override {
        if (program.process.Running())
            program.Exit();
        RegDeleteTreeA(HKEY_CURRENT_USER, SettingsPath);
    }
    RunningProgram program;
};

TEST_F(RunningPanel, FirstRunCreatesTheSettingsWithDefaults) {
    ASSERT_TRUE(program.Start());
    for (auto [name, text] : {std::pair{"ShowOnlineOnly", "0"}, {"CountryCode", ""}, {"ScreenSize", "12"}}) {
        Setting setting = ReadSetting(name);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), setting.type) << name;
        EXPECT_EQ(std::string(text) + '\0', setting.data) << name;
    }
    EXPECT_FALSE(program.Checked(IDC_ONLINE_ONLY));
    EXPECT_EQ("", program.ItemText(IDC_COUNTRY_CODE));
    EXPECT_EQ("Not found", program.ItemText(IDC_DEVICE_INFO));
    EXPECT_TRUE(program.Exit());
}

TEST_F(RunningPanel, ShowOnlineOnlyIsReadAsANumber) {
    WriteText("ShowOnlineOnly", "0x10");
    ASSERT_TRUE(program.Start());
    EXPECT_TRUE(program.Checked(IDC_ONLINE_ONLY)) << "\"0x10\" at start";

    for (auto [text, checked] :
         {std::pair{"010", true}, {"1", true}, {"abc", false}, {"0", false}, {"-1", true}}) {
        WriteText("ShowOnlineOnly", text);
        program.Refresh();
        EXPECT_EQ(checked, program.Checked(IDC_ONLINE_ONLY)) << "\"" << text << "\"";
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
        program.Refresh();
        EXPECT_EQ(t.checked, program.Checked(IDC_ONLINE_ONLY)) << t.what;
    }
    // The mixer notice's refresh keeps the hardware text.
    EXPECT_EQ("Not found", program.ItemText(IDC_DEVICE_INFO));
    // A value of a type the store does not load counts as missing: the default replaces it.
    Setting replaced = ReadSetting("ShowOnlineOnly");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), replaced.type);
    EXPECT_EQ(std::string("0", 2), replaced.data);
    EXPECT_TRUE(program.Exit());
}

TEST_F(RunningPanel, TheCheckBoxIsWrittenWhenClicked) {
    ASSERT_TRUE(program.Start());
    SendMessageA(program.Item(IDC_ONLINE_ONLY), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.Checked(IDC_ONLINE_ONLY));
    EXPECT_EQ(std::string("1", 2), ReadSetting("ShowOnlineOnly").data);
    SendMessageA(program.Item(IDC_ONLINE_ONLY), BM_CLICK, 0, 0);
    EXPECT_FALSE(program.Checked(IDC_ONLINE_ONLY));
    EXPECT_EQ(std::string("0", 2), ReadSetting("ShowOnlineOnly").data);
    EXPECT_TRUE(program.Exit());
}

TEST_F(RunningPanel, TheTypedCountryCodeIsSavedAtShutdown) {
    WriteText("CountryCode", "33");
    ASSERT_TRUE(program.Start());
    HWND edit = program.Item(IDC_COUNTRY_CODE);
    EXPECT_EQ("33", program.ItemText(IDC_COUNTRY_CODE));

    // Select all and type over it; the edit takes digits only.
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("4x9"))
        SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ("49", program.ItemText(IDC_COUNTRY_CODE));
    EXPECT_EQ(std::string("33", 3), ReadSetting("CountryCode").data) << "saved before shutdown";

    ASSERT_TRUE(program.Exit());
    Setting saved = ReadSetting("CountryCode");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), saved.type);
    EXPECT_EQ(std::string("49", 3), saved.data);
}

TEST_F(RunningPanel, Screenshot) {
    WriteText("CountryCode", "44");
    ASSERT_TRUE(program.Start());
    SetWindowPos(program.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(program.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    test::WaitUntil([] { return false; }, 500);
    std::string path = panel_test::ScreenshotFolder() + "\\main-window.bmp";
    EXPECT_TRUE(panel_test::SaveWindowShot(program.window, path)) << path;
    EXPECT_TRUE(program.Exit());
}

} // namespace
