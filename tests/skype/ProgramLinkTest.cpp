// The Skype link of the real DectBridge.exe, run by its own timers over the simulated base, against the
// peer program: the pace of the queue, the Skype light, the ring on the handset, a missed call.
#include "dect/PacketLink.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "skype/SkypeLink.h"
#include "tests/common/Program.h"
#include "tests/common/SkypeTestSupport.h"

namespace skype_test {
namespace {

using Strings = std::vector<std::string>;

constexpr DWORD Wait = 5000;
// The program asks for the contact list 5 s after the base came into service.
constexpr DWORD ContactsWait = 9000;

class ProgramLink : public ::testing::Test {
  protected:
    void SetUp() override {
        SimReset();
        SetSkypeKey(true);
    }
    void TearDown() override {
        if (program.Proc().Running()) {
            EXPECT_TRUE(program.Exit()) << "the program did not exit on request";
        }
        peer.Quit();
    }

    bool SkypeLight(bool on, DWORD timeoutMs = Wait) {
        return WaitForHandset([on](const HandsetView& view) { return view.skypeLight == on; }, timeoutMs);
    }
    static uint32_t Frames(uint8_t command) { return ReadHandset().framesByCommand[command]; }
    // The program runs attached to the peer, and call 5 from bob rings the handset.
    void RingBobAtTheAttachedProgram() {
        ASSERT_TRUE(peer.Start());
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(SkypeLight(true));
        ASSERT_TRUE(peer.Control("ring 5 bob"));
        ASSERT_TRUE(
            WaitForHandset([](const HandsetView& v) { return v.ringing && v.caller == "bob"; }, Wait));
    }

    Peer peer;
    test::Program program;
};

TEST_F(ProgramLink, CommandsLeaveOneAtATimeAPaceApartInQueueOrder) {
    // Not attached when the contact list is asked for: the request waits in the queue.
    ASSERT_TRUE(peer.Start("/attach none /contacts \"erin, Dave, carol, bob, amy\""));
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(test::WaitUntil([] { return ReadHandset().initialised; }, Wait)) << "the base was not served";
    test::WaitUntil([] { return false; }, 6000);
    EXPECT_TRUE(peer.Texts("RECV").empty()) << Describe(peer.Texts("RECV"));
    EXPECT_GT(peer.Lines("DISCOVER").size(), 10u) << "discovery is repeated every 200 ms while not attached";
    ASSERT_TRUE(peer.Control("reply 0"));

    ASSERT_TRUE(peer.WaitForLine("RECV", "GET USER erin ONLINESTATUS", ContactsWait));
    Strings expected = {"SEARCH FRIENDS",
                        "GET USER Dave ONLINESTATUS",
                        "GET USER amy ONLINESTATUS",
                        "GET USER bob ONLINESTATUS",
                        "GET USER carol ONLINESTATUS",
                        "GET USER erin ONLINESTATUS"};
    EXPECT_EQ(peer.Texts("RECV"), expected) << Describe(peer.Texts("RECV"));
    // The program notes each command's time as it sends it, and the next leaves a 200 ms pace later; the
    // peer notes it when it takes it, which a stalled peer does late: one gap seen here may lose a stall,
    // but no two commands come together, and the six together take five paces less at most one stall.
    // (That a command never leaves within a pace of the last, SkypeLinkTest shows on the link itself.)
    std::vector<PeerLine> received = peer.Lines("RECV");
    ASSERT_EQ(received.size(), expected.size());
    for (size_t i = 1; i < received.size(); ++i)
        EXPECT_GE(received[i].ms - received[i - 1].ms, 40u)
            << "\"" << received[i].text << "\" came " << received[i].ms - received[i - 1].ms << " ms after \""
            << received[i - 1].text << "\"";
    EXPECT_GE(received.back().ms - received.front().ms, 5 * SkypeCommandPaceMs - 150);
}

TEST_F(ProgramLink, SkypeLightFollowsTheLinkThroughARefusedCommand) {
    ASSERT_TRUE(peer.Start());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(SkypeLight(true)) << "the Skype light did not come on after the attach";
    ASSERT_TRUE(peer.Control("refuse 1"));
    // A logged-out status makes the program ask for the user's status; that command is refused.
    ASSERT_TRUE(peer.Control("notify CONNSTATUS LOGGEDOUT"));
    ASSERT_TRUE(peer.WaitForLine("REFUSED", "GET USERSTATUS"));
    EXPECT_TRUE(SkypeLight(false)) << "the light stayed on with the link down";
    EXPECT_TRUE(SkypeLight(true)) << "the link was not found again";
    EXPECT_GE(peer.Lines("DISCOVER").size(), 2u);
}

TEST_F(ProgramLink, IncomingCallRingsWithTheCallerEveryTwoSecondsUntilAnswered) {
    ASSERT_TRUE(peer.Start());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(SkypeLight(true));
    uint32_t rings = Frames(CmdIncomingCall);
    ASSERT_TRUE(peer.Control("ring 71 alice"));
    ASSERT_TRUE(WaitForFrames(CmdIncomingCall, rings + 3, 8000)) << "rings seen: " << Frames(CmdIncomingCall);
    HandsetView view = ReadHandset();
    EXPECT_TRUE(view.ringing);
    EXPECT_EQ(view.caller, "alice");
    // Each ring leaves 2000 ms after the one before, by the window's timer, later by as much as the window
    // is held off. When they left is the program's own log: how long a frame takes to the base, and when
    // this test looks, depend on the machine.
    std::vector<int> left = program.FrameTimes(CmdIncomingCall, true);
    ASSERT_EQ(left.size(), 3u);
    for (size_t i = 1; i < left.size(); ++i)
        EXPECT_TRUE(left[i] - left[i - 1] >= 1990 && left[i] - left[i - 1] <= 3000)
            << "ring " << i + 1 << " left " << left[i] - left[i - 1] << " ms after the one before";

    ASSERT_TRUE(HandsetTakeLine());
    ASSERT_TRUE(peer.WaitForLine("RECV", "set call 71 status inprogress"));
    EXPECT_TRUE(WaitForHandset([](const HandsetView& v) { return v.callLight; }, Wait)) << "no call light";
    uint32_t ringsInCall = Frames(CmdIncomingCall);
    test::WaitUntil([] { return false; }, 2500);
    EXPECT_EQ(Frames(CmdIncomingCall), ringsInCall) << "the handset rang again during the call";

    uint32_t releases = Frames(CmdRelease);
    ASSERT_TRUE(peer.Control("hangup 71"));
    EXPECT_TRUE(WaitForFrames(CmdRelease, releases + 1, Wait)) << "no release after the far end hung up";
    EXPECT_TRUE(WaitForHandset([](const HandsetView& v) { return !v.callLight; }, Wait))
        << "the call light stayed on";
}

TEST_F(ProgramLink, MissedCallIsConnectedThenReleasedAtTheBase) {
    RingBobAtTheAttachedProgram();
    if (HasFatalFailure())
        return;
    uint32_t connects = Frames(CmdConnect);
    uint32_t releases = Frames(CmdRelease);
    ASSERT_TRUE(peer.Control("notify CALL 5 STATUS MISSED"));
    ASSERT_TRUE(WaitForFrames(CmdConnect, connects + 1, Wait));
    ASSERT_TRUE(WaitForFrames(CmdRelease, releases + 1, Wait));
    // The release leaves 500 ms after the connect, by the program's own log (see above).
    std::vector<int> connected = program.FrameTimes(CmdConnect, true);
    std::vector<int> released = program.FrameTimes(CmdRelease, true);
    ASSERT_FALSE(connected.empty() || released.empty());
    int gap = released.back() - connected.back();
    EXPECT_TRUE(gap >= 490 && gap <= 1500) << "the release left " << gap << " ms after the connect";
    EXPECT_FALSE(ReadHandset().callLight);
}

// Once dismissed, the box does not come back in the same run; the program goes on looking for the client
// and attaches when one appears.
TEST_F(ProgramLink, MissingSkypeIsReportedOncePerRun) {
    ASSERT_TRUE(peer.Start("/noregistry"));
    SetSkypeKey(false);
    // The box comes from the device start-up, before the main window is first shown.
    ASSERT_TRUE(program.Launch());
    HWND box = nullptr;
    char text[64] = "";
    bool shown = test::WaitUntil(
        [&] {
            box = FindWindowA("#32770", "Telvane");
            return box && GetDlgItemTextA(box, 0xFFFF, text, sizeof text) > 0;
        },
        Wait);
    ASSERT_TRUE(shown) << "no box captioned Telvane";
    EXPECT_STREQ(text, "Cannot detect Skype !!!");
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the box has an owner window";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(test::WaitUntil([box] { return !IsWindow(box); }, Wait));
    EXPECT_TRUE(test::WaitForWindow(test::MainWindowTitle, Wait) != nullptr) << "the program did not go on";

    // Many discovery steps (one per 200 ms) later, no second box.
    HWND again = nullptr;
    test::WaitUntil([&] { return (again = FindWindowA("#32770", "Telvane")) != nullptr; }, 3000);
    EXPECT_EQ(again, nullptr) << "the box came back after its dismissal";
    if (again)
        PostMessageA(again, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(peer.Lines("DISCOVER").empty()) << "discovery broadcast with no client installed";
    SetSkypeKey(true);
    EXPECT_TRUE(test::WaitUntil([&] { return !peer.Lines("DISCOVER").empty(); }, Wait))
        << "the program stopped looking for the client";
}

// The pause between a missed call's connect and its release is no wait: the window answers meanwhile.
TEST_F(ProgramLink, TheWindowAnswersAtOnceWhileAMissedCallsReleaseIsDue) {
    RingBobAtTheAttachedProgram();
    if (HasFatalFailure())
        return;
    uint32_t releases = Frames(CmdRelease);
    ASSERT_TRUE(peer.Control("notify CALL 5 STATUS MISSED"));
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL 5 STATUS MISSED"));
    DWORD start = GetTickCount();
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutA(program.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer), 0);
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 300u) << "the window answered " << took << " ms after Skype's notice";
    EXPECT_TRUE(WaitForFrames(CmdRelease, releases + 1, Wait)) << "the handset was not released";
}

} // namespace
} // namespace skype_test
