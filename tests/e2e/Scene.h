#pragma once
// A user's desk: the real DectBridge.exe, the simulated base with its handset and the Skype peer, each in
// its own process, driven and read the way a user would use and see them.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/common/Program.h"
#include "tests/common/SkypeTestSupport.h"

namespace e2e {

constexpr DWORD Wait = 5000;
// The contact list is asked for 5 s after start-up; the peer then answers each status query in turn.
constexpr DWORD ContactsWait = 9000;

// A setting under HKCU\SOFTWARE\Skype\Dect, as the panel stores it.
void WriteSetting(const char* name, const char* text);
std::string DeviceText(HWND mainWindow);
// The tip of the program's tray icon, "" when the shell shows none.
std::string TrayTipOfProgram();

class Scene : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the peer, then the program over the simulated base as configured; answers whether the main
    // window appeared.
    bool Start(const std::function<void(SimState&)>& configure = {});
    // Until the program is attached to the peer with the base in service (the Skype light is on).
    bool WaitAttached();
    // Presses the keys on the handset in order and waits until the program has taken them from the base.
    void Press(const std::string& keys);
    // How many key frames the program has taken from the base in this run.
    size_t KeysTaken() const;
    bool WaitForCommand(const std::string& command, DWORD timeoutMs = Wait);
    // The commands the peer received, in order, from number `from` on.
    std::vector<std::string> Commands(size_t from = 0) const;
    std::string ShowCommands(size_t from = 0) const;
    bool WaitForDisplay(const std::string& shown, DWORD timeoutMs = Wait);
    // Until the peer has the contacts' statuses answered: the last GET USER ... ONLINESTATUS was sent.
    bool WaitForContacts(const std::string& lastHandle);

    test::Program program;
    skype_test::Peer peer;
};

} // namespace e2e
