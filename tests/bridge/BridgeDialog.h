#pragma once
// The main window made in the test process: the real MainDialog over the simulated phone library (which
// lies beside the test program), driven by calling its operations and by pumping this thread's messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "sim/control/SimControl.h"

namespace bridge_test {

// Skype counts as installed when this key exists; without it discovery shows a message box.
void MarkSkypeInstalled();

// The operations the library received from call number `from` on, those in `only` if it is not empty.
std::vector<SimCall> CallsSince(size_t from, const std::vector<int>& only = {});
std::string Describe(const std::vector<SimCall>& calls);

// Runs the thread's messages for ms milliseconds.
void Pump(DWORD ms);
// Pumps until condition holds or timeoutMs pass; answers whether it held.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Whether a timer of the window is armed; asking disarms it.
bool TimerArmed(HWND window, UINT_PTR id);

class BridgeDialog : public ::testing::Test {
  protected:
    // The sim is reset, then `configure` may change it before the window is made; answers once the
    // start-up's handshake has ended.
    void Make(const std::function<void(SimState&)>& configure = {});
    void TearDown() override;

    std::vector<std::string> Commands() const;
    std::string CommandText() const;

    std::unique_ptr<MainDialog> dialog;
    // Make leaves Skype's key out when false, so that the start-up's discovery shows its message box.
    bool skypeInstalled = true;
};

} // namespace bridge_test
