#pragma once
// Helpers for tests that run real processes: start and stop programs, wait for windows and conditions,
// read files.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace test {

// The folder of the running test program (the build's bin folder, where every program lies).
std::string BinDir();

// A loopback port of a test: `usual`, moved by the environment's DECTBRIDGE_TEST_PORT_SHIFT, so that tests
// side by side on one machine (each in its own sandbox: Wine prefix, screen, shift) keep to their own
// ports. The usual ports lie from FirstTestPort on, fewer than TestPortCount of them (the SIP agents' RTP
// ports too): each sandbox of a run has a block of TestPortCount ports of its own (./dev lays them out),
// and runs sharing a machine take shifts 1000 apart below 28000. A usual port outside them ends the test
// program with a message.
constexpr int FirstTestPort = 35000;
constexpr int TestPortCount = 250;
int TestPort(int usual);

// Polls condition every 10 ms until it holds or timeoutMs pass; answers whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// A top-level window with this exact title (any class), waiting up to timeoutMs.
HWND WaitForWindow(const char* title, DWORD timeoutMs, const char* className = nullptr);

std::string ReadWholeFile(const std::string& path);
// Files matching a pattern such as "c:\\temp\\Telvane.log_*.txt", full paths.
std::vector<std::string> FindFiles(const std::string& pattern);
void DeleteFiles(const std::string& pattern);

class Process {
  public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::string& exePath, const std::string& arguments = "");
    // Waits for the end; answers the exit code, or STILL_ACTIVE when it did not end in time.
    DWORD Wait(DWORD timeoutMs);
    bool Running() const;
    void Kill();
    DWORD Id() const { return info.dwProcessId; }

  private:
    PROCESS_INFORMATION info = {};
};

// Answers a message box (dialog class #32770) owned by process pid as a user would, pressing button id.
// Gives the box's text in `text` when asked.
bool AnswerMessageBox(DWORD pid, int buttonId, DWORD timeoutMs, std::string* text = nullptr);

} // namespace test
