#pragma once
// The Skype API peer as a test runs it, and the main window made in the test process with a handset link
// that records what the Skype side does to the handset.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MainDialog.h"
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

// What the Skype side did to the handset, in order.
struct HandsetEvent {
    DWORD ms;
    std::string
        what; // "show <text>", "connect", "release", "ring <caller>", "call light 0/1", "skype light 0/1"
};

std::string Describe(const std::vector<std::string>& texts);

class SkypeDialog : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Gives the window a base whose link records into `handset`.
    void GiveBase();
    // Starts the peer and runs pump steps until the window is attached to it.
    bool StartAndAttach(const std::string& options = "");
    // One timer-5 step, then this thread's messages until the peer has answered what the step sent.
    void Step();
    // Has the peer send a notification and waits until the window has taken it.
    bool Notify(const std::string& text);
    // The handset events since the last call, as texts.
    std::vector<std::string> TakeHandset();
    std::vector<std::string> Queue() const;
    std::string TraceText() const;
    // Whether a timer of the window is armed (asking disarms it).
    bool TimerArmed(UINT_PTR id) const;

    std::unique_ptr<MainDialog> dialog;
    Peer peer;
    std::vector<HandsetEvent> handset;
    size_t handsetTaken = 0;
};

} // namespace skype_test
