// The calls list, the missed-call count, redial and the call time through the real program, seen on the
// handset window, with the Skype peer's window as the other party.
#include <algorithm>

#include "sim/handset/HandsetWindow.h"
#include "sim/skype/PeerWindow.h"
#include "tests/common/ShellTray.h"
#include "tests/handset/Desk.h"

namespace {

using desk::Wait;
using namespace peer;

class CallsListDesk : public desk::Desk {
  protected:
    // How many commands with exactly this text the peer has taken.
    size_t Received(const std::string& command) const {
        std::vector<std::string> texts = peer.Texts("RECV");
        return std::count(texts.begin(), texts.end(), command);
    }
    bool WaitForReceived(const std::string& command, size_t count) const {
        return test::WaitUntil([&] { return Received(command) >= count; }, 3 * Wait);
    }
    // The caller gives up before anyone answers.
    void MissCallFrom(const std::string& handle) {
        CallIn(handle);
        Click(peerWindow, IDC_PEER_HANG_UP);
        ASSERT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, "")) << HandsetText(IDC_HANDSET_STATUS);
    }
    // Whether a tray icon's tip ends with this text, within the wait.
    bool TrayTipEndsWith(const std::string& end) const {
        return test::WaitUntil(
            [&] {
                for (HWND icon : tray_test::TrayIconWindows()) {
                    std::string tip = tray_test::TrayTip(icon);
                    if (tip.size() >= end.size() &&
                        tip.compare(tip.size() - end.size(), end.size(), end) == 0)
                        return true;
                }
                return false;
            },
            Wait);
    }
    std::string Line() const { return HandsetText(IDC_HANDSET_LINE); }
    void StartAgain() {
        program.keepCallList = true;
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(WaitForLight(IDC_HANDSET_SKYPE_LIGHT, true, 3 * Wait)) << "the program did not attach";
    }
};

TEST_F(CallsListDesk, AMissedCallIsCountedListedCalledBackTimedAndRedialled) {
    MissCallFrom("bob");
    EXPECT_TRUE(Shows("1 missed")) << "[" << Line() << "]";
    EXPECT_TRUE(TrayTipEndsWith(" 1 missed.")) << "the tray's tip does not count the missed call";
    EXPECT_TRUE(SaveHandsetPicture("handset-missed.bmp"));

    Type("*");
    EXPECT_TRUE(Shows("!bob")) << "[" << Line() << "]";
    EXPECT_TRUE(SaveHandsetPicture("handset-calls-list.bmp"));
    EXPECT_TRUE(TrayTipEndsWith("Skype Online.")) << "looking at the list did not clear the tip's count";

    Type("#");
    EXPECT_TRUE(WaitForReceived("CALL bob", 1)) << skype_test::Describe(PeerList(IDC_PEER_COMMANDS));
    EXPECT_TRUE(Shows(">bob"));
    Click(peerWindow, IDC_PEER_ANSWER);
    ASSERT_TRUE(WaitForLight(IDC_HANDSET_CALL_LIGHT, true))
        << "the far end's answer did not reach the handset";
    Sleep(1500);
    PostMessageA(handset, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_CALL_LIGHT, false));
    // At least a second and well under a minute, whatever the machine's load.
    EXPECT_TRUE(test::WaitUntil(
        [&] { return Line().compare(0, 9, "Call 00:0") == 0 && Line() != "Call 00:00  "; }, Wait))
        << "[" << Line() << "]";
    EXPECT_TRUE(SaveHandsetPicture("handset-call-time.bmp"));

    // The talk key while idle calls bob again, the number dialled last.
    PostMessageA(handset, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_TRUE(WaitForReceived("CALL bob", 2)) << skype_test::Describe(PeerList(IDC_PEER_COMMANDS));
    EXPECT_TRUE(Shows(">bob"));
}

TEST_F(CallsListDesk, TheListAndItsCountOutliveTheProgramAndADamagedStoredListStartsEmpty) {
    MissCallFrom("alice");
    ASSERT_TRUE(Shows("1 missed"));
    ASSERT_TRUE(program.Exit());

    StartAgain();
    EXPECT_TRUE(Shows("1 missed")) << "the next run does not show the count: [" << Line() << "]";
    Type("*");
    EXPECT_TRUE(Shows("!alice")) << "[" << Line() << "]";
    PostMessageA(handset, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(Shows(""));
    ASSERT_TRUE(program.Exit());

    HKEY settings = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", 0, KEY_SET_VALUE, &settings));
    RegSetValueExA(settings, "Call1", 0, REG_SZ, reinterpret_cast<const BYTE*>("Z\talice\t"), 9);
    RegCloseKey(settings);
    StartAgain();
    std::string trace = test::ReadWholeFile(program.TraceFile());
    EXPECT_NE(trace.find("stored calls list is damaged"), std::string::npos) << "no log line for the damage";
    // '*' finds no call and does nothing; '#' then starts a number as ever.
    Type("*#42#");
    EXPECT_TRUE(WaitForReceived("CALL 42", 1)) << skype_test::Describe(PeerList(IDC_PEER_COMMANDS));
    EXPECT_EQ(Received("CALL alice"), 0u);
}

TEST_F(CallsListDesk, ACallerWhoIsAContactRingsWithTheContactsHandleAndIsListedUnderIt) {
    // The program learns the contacts a few seconds after start-up.
    ASSERT_TRUE(peer.WaitForLine("SEND", "USER alice ONLINESTATUS ONLINE", 3 * Wait));
    ASSERT_TRUE(peer.Control("ring 150 ALICE"));
    EXPECT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, "RINGING"));
    EXPECT_TRUE(Shows("alice")) << "[" << Line() << "]";
    ASSERT_TRUE(peer.Control("hangup 150"));
    EXPECT_TRUE(Shows("1 missed")) << "[" << Line() << "]";
    Type("*");
    EXPECT_TRUE(Shows("!alice")) << "[" << Line() << "]";
    // The call back goes to the caller as received.
    Type("#");
    EXPECT_TRUE(WaitForReceived("CALL ALICE", 1)) << skype_test::Describe(PeerList(IDC_PEER_COMMANDS));
}

} // namespace
