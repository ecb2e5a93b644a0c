// The caller's display name against the Skype peer: the handset rings with the name, the calls list shows it
// and calls back the caller's handle; a client that answers the name with an error leaves the handle shown
// and the call ringing.
#include "dect/PacketLink.h"
#include "tests/e2e/Scene.h"

namespace {

using e2e::Wait;

uint32_t Frames(uint8_t command) {
    return ReadHandset().framesByCommand[command];
}

class PartyNames : public e2e::Scene {
  protected:
    void SetUp() override {
        Scene::SetUp();
        ASSERT_TRUE(Start());
        ASSERT_TRUE(WaitAttached());
    }
    bool RingsWith(const std::string& caller) {
        return WaitForHandset([&](const HandsetView& view) { return view.ringing && view.caller == caller; },
                              Wait);
    }
};

TEST_F(PartyNames, TheCallerRingsAndIsListedByNameAndCalledBackByHandle) {
    ASSERT_TRUE(peer.Control("ring 81 +4930123 Far End"));
    EXPECT_TRUE(RingsWith("Far End")) << "rings with " << ReadHandset().caller;
    ASSERT_TRUE(peer.Control("hangup 81"));
    ASSERT_TRUE(WaitForDisplay("1 missed", Wait + 2000));
    Press("*");
    EXPECT_TRUE(WaitForDisplay("!Far End"));
    Press("#");
    EXPECT_TRUE(WaitForCommand("CALL +4930123")) << ShowCommands();
    Press("B");
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL 101 STATUS FINISHED")) << ShowCommands();

    // A client without display names: its error leaves the call ringing with the handle.
    ASSERT_TRUE(peer.Control("dispname error"));
    ASSERT_TRUE(peer.Control("ring 82 +4930999 Other Name"));
    ASSERT_TRUE(RingsWith("+4930999"));
    ASSERT_TRUE(peer.WaitForLine("SEND", "ERROR 12 Invalid call property")) << ShowCommands();
    uint32_t releases = Frames(CmdRelease);
    uint32_t rings = Frames(CmdIncomingCall);
    // A release for the error would have gone before the next ring of the repeat.
    ASSERT_TRUE(WaitForFrames(CmdIncomingCall, rings + 1, Wait)) << "the ring stopped";
    EXPECT_EQ(Frames(CmdRelease), releases) << "the handset was released for the name's error";
    EXPECT_EQ(ReadHandset().caller, "+4930999");
    ASSERT_TRUE(peer.Control("hangup 82"));
}

} // namespace
