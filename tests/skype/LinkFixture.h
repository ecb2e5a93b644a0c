#pragma once
// The Skype link in the test process, on a window of the test's own that passes Skype's messages to it as
// the main window does, against the real Skype API peer program. The owner's side records what the link
// reported.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "skype/SkypeLink.h"
#include "tests/common/SkypeTestSupport.h"

namespace skype_test {

using Strings = std::vector<std::string>;

class LinkFixture : public ::testing::Test, private SkypeLinkOwner {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the peer and runs pump steps until the link is attached to it.
    bool StartAndAttach(const std::string& options = "");
    // One pump step, a pace after the one before by the link's clock, then this thread's messages until the
    // peer has answered what the step sent.
    void Step();
    // Has the peer send a notification and waits until this window has taken it.
    bool Notify(const std::string& text);
    // The link states shown since the last call, "up" or "down".
    Strings TakeShown();
    Strings Queue() const;
    // The trace written since SetUp.
    std::string TraceText() const;

    HWND window = nullptr;
    // The link's clock goes on only by pump steps, as the program's pump would have it: how long a send
    // takes on this machine does not change which command waits for its pace.
    double clockMs = 0;
    SkypeLink link{*this, [this] { return clockMs; }};
    Peer peer;
    Strings notifications;
    // How often the link asked for its pump to start its step anew.
    int pumpRestarts = 0;
    // How often the link told of a lost window.
    int losses = 0;
    // Runs inside the owner's handling of each notification.
    std::function<void(const std::string&)> whileHandling;

  private:
    void ShowSkypeLink(bool attached) override { shown.push_back(attached ? "up" : "down"); }
    void OnSkypeNotification(const std::string& text) override {
        notifications.push_back(text);
        if (whileHandling)
            whileHandling(text);
    }
    void RestartSkypePump() override { ++pumpRestarts; }
    void OnSkypeLinkLost() override { ++losses; }
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Strings shown;
    int marks = 0;
    std::string traceName;
    size_t traceStart = 0;
};

} // namespace skype_test
