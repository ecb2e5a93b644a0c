#pragma once
// The real DectBridge.exe as a test runs it: started from the build's bin folder, found by its windows,
// asked to exit the way another program would.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"

namespace test {

// A frame between the program and the base as the program logged it: by the program's own clock, so a
// test that reads it later, or a base that gets it late, does not move it.
struct LoggedFrame {
    int ms;      // since midnight of the run's first day
    bool toBase; // "[MAIN -> DECT]", else "[DECT -> MAIN]"
    uint8_t command;
};

constexpr const char* MainWindowTitle = "TRL-400 1.2";
constexpr const char* ExitRequestTitle = "TigerJetTjInitApp";
constexpr ULONG_PTR ExitRequestMarker = 0x04C81269;

class Program {
  public:
    ~Program();
    // Starts bin\DectBridge.exe (or another copy of it) and waits for its main window; false when the
    // window did not appear.
    bool Start(const std::string& exePath = BinDir() + "\\DectBridge.exe", DWORD timeoutMs = 10000);
    // Starts without waiting for any window.
    bool Launch(const std::string& exePath = BinDir() + "\\DectBridge.exe");
    HWND MainWindow() const { return mainWindow; }
    Process& Proc() { return process; }
    // Sends WM_COPYDATA with dwData to the hidden exit-request window; answers SendMessage's result.
    LRESULT SendExitRequest(ULONG_PTR dwData) const;
    // Asks for the orderly exit and waits for the process to end; answers whether it ended in time.
    bool Exit(DWORD timeoutMs = 10000);
    // The trace file this run writes: c:\temp\Telvane.log_*_<pid in hex>.txt ("" when none).
    std::string TraceFile() const;
    // The frames with a command (not the raw bytes) this run logged so far, in order.
    std::vector<LoggedFrame> LoggedFrames() const;
    // When the frames with this command went to the base, or came from it, in milliseconds as above.
    std::vector<int> FrameTimes(uint8_t command, bool toBase) const;

    // Each launch forgets the calls list an earlier run left, as a new installation has none; a test that
    // looks at the list kept from one run to the next sets this.
    bool keepCallList = false;

  private:
    Process process;
    HWND mainWindow = nullptr;
};

} // namespace test
