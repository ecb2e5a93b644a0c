#include "tests/e2e/Scene.h"

#include <cstdio>
#include <cstring>

#include "app/res/resource.h"
#include "dect/PacketLink.h"
#include "sim/control/ChipControl.h"
#include "tests/common/ShellTray.h"

namespace e2e {

void WriteSetting(const char* name, const char* text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
}

std::string DeviceText(HWND mainWindow) {
    char text[256] = "";
    GetDlgItemTextA(mainWindow, IDC_DEVICE_INFO, text, sizeof text);
    return text;
}

std::string TrayTipOfProgram() {
    tray_test::DropDeadTrayIcons();
    for (HWND icon : tray_test::TrayIconWindows()) {
        std::string tip = tray_test::TrayTip(icon);
        if (tip.rfind("TRL-400", 0) == 0)
            return tip;
    }
    return "";
}

void Scene::SetUp() {
    SimReset();
    skype_test::SetSkypeKey(true);
    WriteSetting("CountryCode", "");
    WriteSetting("ShowOnlineOnly", "0");
}

void Scene::TearDown() {
    if (program.Proc().Running()) {
        EXPECT_TRUE(program.Exit()) << "the program did not exit on request";
    }
    peer.Quit();
    // Keys survive a reader the machine held off thanks to the base's grace; the log says when it was needed.
    ReaderTiming timing = ChipReaderTiming();
    if (timing.heldLate > 0)
        std::printf("the base held %u nibbles for a late reader, the longest %u ms past its hold\n",
                    timing.heldLate, timing.longestLateMs);
}

bool Scene::Start(const std::function<void(SimState&)>& configure) {
    if (configure)
        WithSim([&](SimState& state) {
            configure(state);
            return 0;
        });
    return peer.Start() && program.Start();
}

bool Scene::WaitAttached() {
    return WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, Wait);
}

size_t Scene::KeysTaken() const {
    return program.FrameTimes(CmdKey, false).size();
}

void Scene::Press(const std::string& keys) {
    size_t taken = KeysTaken();
    for (char key : keys)
        EXPECT_TRUE(HandsetPressKey(static_cast<uint8_t>(key))) << "the base's queue is full at " << key;
    // The channel carries about five key frames a second.
    EXPECT_TRUE(test::WaitUntil([&] { return KeysTaken() >= taken + keys.size(); },
                                Wait + 300 * static_cast<DWORD>(keys.size())))
        << "the program took " << KeysTaken() - taken << " of the keys " << keys;
    // The program's reader hands each key to its window in a posted message, which the window takes next.
    Sleep(150);
}

bool Scene::WaitForCommand(const std::string& command, DWORD timeoutMs) {
    return peer.WaitForLine("RECV", command, timeoutMs);
}

std::vector<std::string> Scene::Commands(size_t from) const {
    std::vector<std::string> all = peer.Texts("RECV");
    return from < all.size() ? std::vector<std::string>(all.begin() + from, all.end())
                             : std::vector<std::string>{};
}

std::string Scene::ShowCommands(size_t from) const {
    return skype_test::Describe(Commands(from));
}

bool Scene::WaitForDisplay(const std::string& shown, DWORD timeoutMs) {
    std::string padded = shown + std::string(shown.size() < 12 ? 12 - shown.size() : 0, ' ');
    return ::WaitForDisplay(padded, timeoutMs);
}

bool Scene::WaitForContacts(const std::string& lastHandle) {
    std::string answer = "USER " + lastHandle + " ONLINESTATUS ";
    return WaitForCommand("GET USER " + lastHandle + " ONLINESTATUS", ContactsWait) &&
           test::WaitUntil(
               [&] {
                   for (const std::string& sent : peer.Texts("SEND"))
                       if (sent.rfind(answer, 0) == 0)
                           return true;
                   return false;
               },
               Wait);
}

} // namespace e2e
