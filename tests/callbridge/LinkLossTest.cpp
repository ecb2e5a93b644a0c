// Skype (or SipLink) goes away: whatever the bridge knew of its calls ends for the handset, and the Skype
// that attaches next, which numbers its calls afresh, starts from nothing.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class LinkLoss : public CallBridgeTest {
  protected:
    // A call in progress, answered on the handset, with a tone still waiting for the link.
    void StartTalking(const std::string& id) {
        StartIncoming(id, "alice");
        Press("C");
        Notify("CALL " + id + " STATUS INPROGRESS");
        Press("5");
        handset.Take();
    }
    void ExpectIdle() {
        EXPECT_EQ(bridge.CurrentCall(), nullptr) << "a phantom call stayed";
        EXPECT_EQ(bridge.Phase(), Phase::Idle);
        EXPECT_EQ(bridge.DialString(), "");
    }
};

TEST_F(LinkLoss, ACallInProgressEndsAndItsWaitingCommandsAreDropped) {
    StartTalking("71");
    Notify("USERSTATUS LOGGEDOUT");
    bridge.OnLinkLost();
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"}));
    ExpectIdle();
    EXPECT_EQ(skype.Send(), Strings{"GET USERSTATUS"})
        << "the answer and the tone would go to the next Skype";
}

// The next Skype numbers its calls from the start again: the same id is a new call, and the end key ends
// the call that is there.
TEST_F(LinkLoss, TheNextSkypesCallWithTheSameIdRingsAndIsEndedByTheEndKey) {
    StartTalking("1");
    bridge.OnLinkLost();
    skype.Send();
    handset.Take();
    StartIncoming("1", "bob");
    EXPECT_EQ(handset.Take(), Strings{"ring bob"}) << "the new call was taken for the old one";
    Press("C");
    EXPECT_EQ(skype.Send(), Strings{"set call 1 status inprogress"});
    Press("B");
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 1 STATUS FINISHED"});

    // A number dialled is not refused as a second call either.
    Notify("CALL 1 STATUS FINISHED");
    Press("#5551234#");
    EXPECT_EQ(skype.Send(), Strings{"CALL 5551234"});
    Notify("CALL 2 STATUS ROUTING");
    EXPECT_EQ(skype.Send(), PartyQueries("2"));
}

TEST_F(LinkLoss, ARingingHandsetIsConnectedThenReleased) {
    StartIncoming("8", "alice");
    handset.Take();
    bridge.OnLinkLost();
    EXPECT_EQ(handset.Take(), Strings{"connect"});
    ASSERT_TRUE(Expire(BridgeTimer::Release));
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"}));
    ASSERT_TRUE(Expire(BridgeTimer::Ring));
    EXPECT_EQ(handset.Take(), Strings{}) << "the lost call still rang";
    EXPECT_FALSE(Expire(BridgeTimer::Ring));
    ExpectIdle();
}

// The CALL waits for a Skype that went away: it is not placed with the next one, and the handset that
// showed the number is released.
TEST_F(LinkLoss, ANumberDialledButNotYetNamedIsGivenUp) {
    Press("#5551234#");
    EXPECT_EQ(skype.Waiting(), Strings{"CALL 5551234"});
    handset.Take();
    bridge.OnLinkLost();
    EXPECT_EQ(skype.Send(), Strings{}) << "the number would be called by the next Skype";
    EXPECT_EQ(handset.Take(), Strings{"connect"});
    ASSERT_TRUE(Expire(BridgeTimer::Release));
    EXPECT_EQ(handset.Take(), Strings{"release"});
    ExpectIdle();
}

// A call given up before it was named, and one being finished at Skype, belong to the Skype that went:
// the next Skype's first calls are the handset's.
TEST_F(LinkLoss, CallsBeingFinishedAtTheOldSkypeDoNotSwallowTheNextSkypesCalls) {
    Press("#0207#");
    skype.Send();
    Press("B"); // the next routing would be finished at Skype
    bridge.OnLinkLost();
    Notify("CALL 1 STATUS ROUTING");
    EXPECT_EQ(skype.Send(), PartyQueries("1")) << "a call placed at the PC was finished";
    ASSERT_NE(bridge.CurrentCall(), nullptr);
    Notify("CALL 1 STATUS FINISHED");
    skype.Send();

    Press("#0208#");
    skype.Send();
    Press("B");
    Notify("CALL 2 STATUS ROUTING"); // finished at Skype: its id is remembered until its end
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 2 STATUS FINISHED"});
    bridge.OnLinkLost();
    handset.Take();
    StartIncoming("2", "carol");
    EXPECT_EQ(handset.Take(), Strings{"ring carol"}) << "the remembered id swallowed the new call";
}

TEST_F(LinkLoss, NumberEntryAndBrowsingEndAndTheContactRequestStays) {
    Notify("USERS alice");
    skype.Send();
    bridge.OnDeviceStarted();
    ASSERT_TRUE(Expire(BridgeTimer::Contacts));
    for (const char* keys : {"#12", "##", ""}) {
        SCOPED_TRACE(keys);
        Press(keys);
        handset.Take();
        bridge.OnLinkLost();
        ExpectIdle();
        EXPECT_EQ(handset.Take(), Strings{}) << "a handset in no call is told nothing";
    }
    EXPECT_EQ(skype.Send(), Strings{"SEARCH FRIENDS"}) << "the next Skype is asked for the contacts";
}

} // namespace
} // namespace callbridge_test
