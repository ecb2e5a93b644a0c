#pragma once
// The Skype API peer as a test runs it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "sim/control/PeerControl.h"
#include "tests/common/TestSupport.h"

namespace skype_test {

constexpr const char* PeerLogPath = "c:\\temp\\SkypePeerTest.log";

// Whether Skype counts as installed: HKCU\SOFTWARE\Skype\Phone.
void SetSkypeKey(bool present);

using ::PeerLine;

class Peer {
  public:
    ~Peer();
    // Starts bin\SkypePeer.exe with its log and the given options; waits for its windows.
    bool Start(const std::string& options = "");
    // A control command; answers whether the peer understood it.
    bool Control(const std::string& command) const;
    HWND Api() const { return api; }
    DWORD Pid() { return process.Id(); }
    // Ends the peer the documented way and waits for it; answers its exit code (STILL_ACTIVE: it hung).
    DWORD Quit();
    std::vector<PeerLine> Lines(const std::string& tag) const;
    std::vector<std::string> Texts(const std::string& tag) const;
    // Pumps this thread's messages until the log has a line with tag and text.
    bool WaitForLine(const std::string& tag, const std::string& text, DWORD timeoutMs = 5000) const;

  private:
    test::Process process;
    HWND control = nullptr;
    HWND api = nullptr;
};

std::string Describe(const std::vector<std::string>& texts);

} // namespace skype_test
