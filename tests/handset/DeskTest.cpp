// The handset window and the Skype peer's window used as a person uses them, with the real program between.
#include <set>

#include "app/res/resource.h"
#include "dect/PacketLink.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "sim/handset/HandsetWindow.h"
#include "sim/skype/PeerWindow.h"
#include "tests/common/ShellTray.h"
#include "tests/handset/Desk.h"

namespace {

using desk::Wait;
using namespace peer;

constexpr int Key(char key) {
    return IDC_HANDSET_KEY_BASE + key;
}

class Desks : public desk::Desk {
  protected:
    // The display's background blinks while it rings: both backlight colours are seen within a while.
    bool Blinks() {
        std::set<DWORD> seen;
        test::WaitUntil(
            [&] {
                seen.insert(HandsetColour(IDC_HANDSET_LINE, 2, 2));
                return seen.count(BacklightRgb) && seen.count(BacklightLitRgb);
            },
            3000);
        return seen.count(BacklightRgb) && seen.count(BacklightLitRgb);
    }
};

TEST_F(Desks, ACallFromThePeerWindowRingsTheHandsetWindowWhoseKeysAnswerItUntilTheFarEndHangsUp) {
    HWND main = program.MainWindow();
    SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(test::WaitUntil([&] { return DeviceText() == "TRL-400"; }, Wait));
    EXPECT_TRUE(tray_test::SaveScreenshot(main, "desk-main-window.bmp"));
    CallIn("alice");
    EXPECT_TRUE(Blinks()) << "the ringing display does not blink";
    EXPECT_TRUE(SaveHandsetPicture("handset-ringing.bmp"));

    Click(handset, IDC_HANDSET_TALK);
    EXPECT_TRUE(WaitForListedCommand("set call 101 status inprogress"));
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_CALL_LIGHT, true)) << "the call light did not come on";
    EXPECT_TRUE(Shows("*alice"));
    EXPECT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, "IN CALL"));
    char call[128] = "";
    GetDlgItemTextA(peerWindow, IDC_PEER_CALL, call, sizeof call);
    EXPECT_STREQ(call, "From alice (call 101): INPROGRESS");
    EXPECT_TRUE(SaveHandsetPicture("handset-in-call.bmp"));
    EXPECT_TRUE(tray_test::SaveScreenshot(peerWindow, "peer-window.bmp"));

    Click(peerWindow, IDC_PEER_HANG_UP);
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_CALL_LIGHT, false)) << "the call light stayed on";
    EXPECT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, "")) << HandsetText(IDC_HANDSET_STATUS);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(peerWindow, IDC_PEER_HANG_UP))) << "a call is still current";
}

TEST_F(Desks, KeysClickedAndTypedDialANumberThePeerWindowListsItsFarEndAnswersAndEscapeEndsIt) {
    // A number that begins with 00 is dialled as typed, whatever country code the registry holds.
    Click(handset, Key('#'));
    Click(handset, Key('0'));
    Type("049#");
    ASSERT_TRUE(WaitForListedCommand("CALL 0049", 3 * Wait))
        << skype_test::Describe(PeerList(IDC_PEER_COMMANDS)) << " display [" << ReadHandset().display << "]";
    EXPECT_TRUE(Shows(">0049"));

    Click(peerWindow, IDC_PEER_ANSWER);
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_CALL_LIGHT, true))
        << "the far end's answer did not reach the handset";
    PostMessageA(handset, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitForListedCommand("SET CALL 101 STATUS FINISHED"));
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_CALL_LIGHT, false));
}

TEST_F(Desks, TheSwitchUnplugsTheBaseSoTheProgramShowsNotFoundAndPlugsItInAgain) {
    ASSERT_EQ(IsDlgButtonChecked(handset, IDC_HANDSET_PLUGGED), BST_CHECKED);
    Click(handset, IDC_HANDSET_PLUGGED);
    EXPECT_TRUE(test::WaitUntil([&] { return DeviceText() == "Not found"; }, Wait)) << DeviceText();
    EXPECT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, "NO BASE"));
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_SKYPE_LIGHT, false)) << "an unplugged base shows a light";
    EXPECT_FALSE(SimPlugged());

    Click(handset, IDC_HANDSET_PLUGGED);
    EXPECT_TRUE(test::WaitUntil([&] { return DeviceText() == "TRL-400"; }, 2 * Wait)) << DeviceText();
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_SKYPE_LIGHT, true))
        << "the base back in service shows no Skype light";
    EXPECT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, ""));
}

TEST_F(Desks, AStatusSetInThePeerWindowReachesTheProgramsOnlineFilter) {
    // The program learns the contacts and their statuses a few seconds after start-up.
    ASSERT_TRUE(peer.WaitForLine("SEND", "USER bob ONLINESTATUS OFFLINE", 3 * Wait));
    if (IsDlgButtonChecked(program.MainWindow(), IDC_ONLINE_ONLY) != BST_CHECKED)
        Click(program.MainWindow(), IDC_ONLINE_ONLY);
    ASSERT_EQ(IsDlgButtonChecked(program.MainWindow(), IDC_ONLINE_ONLY), BST_CHECKED);
    // '#' twice starts browsing at alice; '2' shows alice again, and once more passes the offline bob over.
    uint32_t shown = ReadHandset().framesByCommand[CmdDisplay];
    Type("##22");
    ASSERT_TRUE(WaitForFrames(CmdDisplay, shown + 3, 3 * Wait));
    EXPECT_TRUE(Shows("alice"));

    ChooseContact("bob");
    SendMessageA(GetDlgItem(peerWindow, IDC_PEER_STATUS), CB_SETCURSEL, 0, 0); // ONLINE
    Click(peerWindow, IDC_PEER_SET_STATUS);
    EXPECT_TRUE(peer.WaitForLine("SEND", "USER bob ONLINESTATUS ONLINE"));
    std::vector<std::string> contacts = PeerList(IDC_PEER_CONTACTS);
    EXPECT_EQ(contacts, (std::vector<std::string>{"echo123\tONLINE", "alice\tONLINE", "bob\tONLINE"}));
    Type("2");
    EXPECT_TRUE(Shows("bob")) << "the program did not take bob's new status";

    Click(program.MainWindow(), IDC_ONLINE_ONLY); // back to the setting the other tests expect
    EXPECT_EQ(IsDlgButtonChecked(program.MainWindow(), IDC_ONLINE_ONLY), BST_UNCHECKED);
}

TEST_F(Desks, ClosingTheHandsetWindowChangesNothingAndANewOneShowsTheCallStillRinging) {
    CallIn("bob");
    ASSERT_EQ(CloseHandset(), 0u);
    EXPECT_TRUE(ReadHandset().ringing);
    EXPECT_TRUE(SimPlugged());
    EXPECT_EQ(DeviceText(), "TRL-400");

    ASSERT_TRUE(StartHandset());
    EXPECT_TRUE(WaitForHandsetText(IDC_HANDSET_STATUS, "RINGING"));
    EXPECT_TRUE(Shows("bob"));
    EXPECT_TRUE(WaitForLight(IDC_HANDSET_SKYPE_LIGHT, true));
    // Enter is the talk key.
    PostMessageA(handset, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_TRUE(WaitForListedCommand("set call 101 status inprogress"));
}

} // namespace
