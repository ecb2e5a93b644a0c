#pragma once
// A person's desk: DectBridge.exe, the handset window and the Skype peer's window, each in its own
// process, used only through what the windows show and their buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/common/Program.h"
#include "tests/common/SkypeTestSupport.h"

namespace desk {

constexpr DWORD Wait = 5000;

class Desk : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Presses a button of a window as a click does.
    static void Click(HWND window, int id);
    // Starts a handset window; answers whether it appeared.
    bool StartHandset();
    // Closes the handset window as a person does; answers its exit code (STILL_ACTIVE: it did not end).
    DWORD CloseHandset();
    std::string HandsetText(int id) const;
    bool WaitForHandsetText(int id, const std::string& text, DWORD timeoutMs = Wait) const;
    // The colour the screen shows at a point of a handset part, 0x00RRGGBB; x and y inside the part.
    DWORD HandsetColour(int id, int x, int y) const;
    bool WaitForLight(int id, bool on, DWORD timeoutMs = Wait) const;
    // The lines of a list box of the peer window, in order.
    std::vector<std::string> PeerList(int id) const;
    // Until the peer window lists a received command with exactly this text (after its time).
    bool WaitForListedCommand(const std::string& command, DWORD timeoutMs = Wait) const;
    // Chooses a contact in the peer window's list.
    void ChooseContact(const std::string& handle) const;
    std::string DeviceText() const;
    // The peer window's contact `handle` calls in; the handset window rings with it.
    void CallIn(const std::string& handle);
    // Types on the handset window's keyboard, one character message each, as a focused window gets them.
    void Type(const std::string& keys);
    // Whether the program's handset display shows `text` (padded to 12) on the handset window.
    bool Shows(const std::string& text);
    // Saves a picture of the handset window into the build's screenshots once its display is drawn.
    bool SaveHandsetPicture(const std::string& name) const;

    test::Program program;
    skype_test::Peer peer;
    test::Process handsetProcess;
    HWND handset = nullptr;
    HWND peerWindow = nullptr;
};

} // namespace desk
