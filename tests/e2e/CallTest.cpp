// Calls as a user makes and takes them: the handset, the program and the Skype peer.
#include <algorithm>

#include "app/res/resource.h"
#include "dect/PacketLink.h"
#include "tests/e2e/Scene.h"

namespace {

using e2e::Wait;

uint32_t Frames(uint8_t command) {
    return ReadHandset().framesByCommand[command];
}

bool Light(bool on) {
    return WaitForHandset([&](const HandsetView& view) { return view.callLight == on; }, Wait);
}

class Calls : public e2e::Scene {
  protected:
    void SetUp() override {
        Scene::SetUp();
        ASSERT_TRUE(Start());
        ASSERT_TRUE(WaitAttached());
    }
    // Rings call `id` from alice and waits until the handset rings.
    void Ring(const std::string& id) {
        ASSERT_TRUE(peer.Control("ring " + id + " alice"));
        ASSERT_TRUE(WaitForHandset(
            [](const HandsetView& view) { return view.ringing && view.caller == "alice"; }, Wait))
            << "the handset did not ring with the caller";
    }
    void Answer(const std::string& id) {
        ASSERT_TRUE(HandsetTakeLine());
        ASSERT_TRUE(WaitForCommand("set call " + id + " status inprogress")) << ShowCommands();
        EXPECT_TRUE(WaitForDisplay("*alice"));
        ASSERT_TRUE(Light(true)) << "the call light did not come on";
    }
    // Types a number and waits for Skype's partner query of the call it places.
    void Dial(const std::string& typed, const std::string& command) {
        Press("#" + typed + "#");
        ASSERT_TRUE(WaitForCommand(command)) << "typed " << typed << ": " << ShowCommands();
        ASSERT_TRUE(test::WaitUntil([&] { return Commands().back().rfind("GET CALL", 0) == 0; }, Wait))
            << ShowCommands();
    }
    std::string LastCallId() {
        std::string query = Commands().back(); // GET CALL {id} PARTNER_HANDLE
        return query.substr(9, query.find(' ', 9) - 9);
    }
};

TEST_F(Calls, AnIncomingCallRingsIsAnsweredAndEndedByTheOtherParty) {
    Ring("71");
    // The ring is repeated every 2000 ms while the call rings: two repeats leave 4000 ms after the first
    // ring by the program's log, later by as much as its window is held off.
    ASSERT_TRUE(WaitForFrames(CmdIncomingCall, 3, 6000)) << Frames(CmdIncomingCall) << " rings";
    std::vector<int> left = program.FrameTimes(CmdIncomingCall, true);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_GE(left[2] - left[0], 3990);
    EXPECT_LE(left[2] - left[0], 5000);

    Answer("71");
    uint32_t rings = Frames(CmdIncomingCall);
    Sleep(2500);
    EXPECT_EQ(Frames(CmdIncomingCall), rings) << "the ring went on after the answer";

    uint32_t releases = Frames(CmdRelease);
    ASSERT_TRUE(peer.Control("hangup 71"));
    EXPECT_TRUE(WaitForFrames(CmdRelease, releases + 1, Wait)) << "the handset was not released";
    EXPECT_TRUE(Light(false));
    EXPECT_FALSE(ReadHandset().inCall);
}

// Skype is slow to put the answered call in progress, or never does: the handset that answered rings no
// more in the user's ear meanwhile, and the far end's hang-up still releases it.
TEST_F(Calls, AnAnsweredCallRingsNoMoreWhileSkypeIsSlowToConnectIt) {
    ASSERT_TRUE(peer.Control("pickup never"));
    Ring("76");
    ASSERT_TRUE(HandsetTakeLine());
    ASSERT_TRUE(WaitForCommand("set call 76 status inprogress")) << ShowCommands();
    // The answer's display follows any ring sent before it through the channel: those are in.
    EXPECT_TRUE(WaitForDisplay("*alice"));
    uint32_t rings = Frames(CmdIncomingCall);
    Sleep(4500); // two periods of the ring repeat
    EXPECT_EQ(Frames(CmdIncomingCall), rings) << "the handset rang again after it answered";
    uint32_t releases = Frames(CmdRelease);
    ASSERT_TRUE(peer.Control("hangup 76"));
    EXPECT_TRUE(WaitForFrames(CmdRelease, releases + 1, Wait)) << "the handset was not released";
}

// The client writes UTF-8: the caller is shown as the program's code page writes the name, cut at the
// display's 12th byte without cutting a character.
TEST_F(Calls, ACallerNamedInUtf8RingsWithTheNameInTheCodePage) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the name below is written in code page 1252; here it is " << GetACP();
    ASSERT_TRUE(peer.Control("ring 77 J\xC3\xBCrgen.M\xC3\xBCller"));
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return view.ringing; }, Wait));
    EXPECT_EQ(ReadHandset().caller, "J\xFCrgen.M\xFClle");
    ASSERT_TRUE(HandsetTakeLine());
    EXPECT_TRUE(WaitForDisplay("*J\xFCrgen.M\xFCll"));
    ASSERT_TRUE(peer.Control("hangup 77"));
}

TEST_F(Calls, TheEndKeyHangsUpAndTheEndSendsNothingMoreToTheHandset) {
    Ring("72");
    Answer("72");
    uint32_t releases = Frames(CmdRelease);
    ASSERT_TRUE(HandsetHangUp(5));
    EXPECT_TRUE(WaitForCommand("SET CALL 72 STATUS FINISHED")) << ShowCommands();
    EXPECT_TRUE(Light(false));
    Sleep(500);
    EXPECT_EQ(Frames(CmdRelease), releases) << "the handset that hung up was released again";
    EXPECT_EQ(ReadHandset().lastReleaseAck, 5);
}

TEST_F(Calls, TonesGoOnlyWhileTheCallIsInProgress) {
    Ring("73");
    Press("5*#");
    Answer("73");
    size_t before = Commands().size();
    Press("5*#0");
    ASSERT_TRUE(WaitForCommand("SET CALL 73 DTMF 0")) << ShowCommands();
    EXPECT_EQ(Commands(before), (std::vector<std::string>{"SET CALL 73 DTMF 5", "SET CALL 73 DTMF *",
                                                          "SET CALL 73 DTMF #", "SET CALL 73 DTMF 0"}))
        << "tones before the answer were sent: " << ShowCommands();
    ASSERT_TRUE(peer.Control("hangup 73"));
    EXPECT_TRUE(Light(false));
}

TEST_F(Calls, ARingingCallIsRefusedWhileANumberIsEntered) {
    Press("#1");
    ASSERT_TRUE(peer.Control("ring 74 bob"));
    EXPECT_TRUE(WaitForCommand("SET CALL 74 STATUS FINISHED")) << ShowCommands();
    Sleep(300);
    EXPECT_EQ(Frames(CmdIncomingCall), 0u);
    Press("2#");
    EXPECT_TRUE(WaitForCommand("CALL 12")) << "the number entry went on: " << ShowCommands();
}

TEST_F(Calls, ATypedNumberTakesTheCountryCodeAndTheCallGoesThroughItsStates) {
    // The user types the country code on the panel.
    SetDlgItemTextA(program.MainWindow(), IDC_COUNTRY_CODE, "0044");
    // The far end answers when the test says so: a key typed before must not become a tone.
    ASSERT_TRUE(peer.Control("answer never"));

    Press("123"); // digits in Idle are ignored
    Press("#45B");
    Dial("02071234567", "CALL 00442071234567");
    std::string id = LastCallId();
    EXPECT_TRUE(WaitForDisplay(">00442071234"));
    Press("5"); // routing or ringing at the far end: no tone
    ASSERT_TRUE(peer.Control("answer now"));
    ASSERT_TRUE(Light(true)) << "the answered call did not light the call light";
    Press("B");
    ASSERT_TRUE(WaitForCommand("SET CALL " + id + " STATUS FINISHED")) << ShowCommands();
    EXPECT_TRUE(Light(false));

    Dial("0012125550100", "CALL 0012125550100");
    Press("B");
    ASSERT_TRUE(WaitForCommand("SET CALL " + LastCallId() + " STATUS FINISHED")) << ShowCommands();
    Dial("12", "CALL 12");
    Press("B");
    ASSERT_TRUE(WaitForCommand("SET CALL " + LastCallId() + " STATUS FINISHED")) << ShowCommands();

    // The user clears the country code on the panel.
    SetDlgItemTextA(program.MainWindow(), IDC_COUNTRY_CODE, "");
    Sleep(300);
    Dial("02071234567", "CALL 02071234567");

    std::vector<std::string> calls;
    for (const std::string& command : Commands())
        if (command.rfind("CALL ", 0) == 0 || command.find("DTMF") != std::string::npos)
            calls.push_back(command);
    EXPECT_EQ(calls, (std::vector<std::string>{"CALL 00442071234567", "CALL 0012125550100", "CALL 12",
                                               "CALL 02071234567"}))
        << "ignored digits, an emptied number or an early tone were sent";
}

// Skype is not attached while the user dials, then gives up: when Skype comes, the number is not called.
class SkypeAway : public e2e::Scene {};

TEST_F(SkypeAway, ANumberGivenUpBeforeSkypeCameIsNotCalledLater) {
    ASSERT_TRUE(peer.Start("/attach none") && program.Start());
    ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.initialised; }, Wait));
    Press("#123#");
    ASSERT_TRUE(WaitForDisplay(">123"));
    Press("B");
    ASSERT_TRUE(peer.Control("reply 0"));
    ASSERT_TRUE(WaitAttached());
    // A number dialled now is the first call Skype hears of.
    Press("#45#");
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            std::vector<std::string> all = Commands();
            return std::find_if(all.begin(), all.end(),
                                [](const std::string& c) { return c.rfind("CALL ", 0) == 0; }) != all.end();
        },
        Wait))
        << ShowCommands();
    std::vector<std::string> all = Commands();
    EXPECT_EQ(std::count(all.begin(), all.end(), "CALL 123"), 0)
        << "the abandoned number was called: " << ShowCommands();
    EXPECT_TRUE(WaitForCommand("CALL 45")) << ShowCommands();
}

} // namespace
