// The road of an incoming call: Skype rings, the handset rings with the caller, is answered, and the call
// ends by either side; and the calls the handset turns away.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class IncomingCall : public CallBridgeTest {};

TEST_F(IncomingCall, AnsweredOnTheHandsetAndEndedByTheFarEnd) {
    StartIncoming("71", "alice");
    EXPECT_EQ(Call().callId, "71");
    EXPECT_EQ(bridge.Phase(), Phase::Ringing);
    EXPECT_EQ(handset.Take(), Strings{"ring alice"});
    EXPECT_EQ(timers.Take(BridgeTimer::Ring), 2000u) << "the ring repeat was not started";

    Press("C");
    EXPECT_EQ(skype.Send(), Strings{"set call 71 status inprogress"});
    EXPECT_EQ(handset.Take(), Strings{"show *alice"});
    EXPECT_EQ(bridge.Phase(), Phase::Answering);

    Notify("CALL 71 STATUS INPROGRESS");
    EXPECT_EQ(bridge.Phase(), Phase::Talking);
    EXPECT_EQ(handset.Take(), Strings{"call light 1"}) << "the handset had answered: no display, no connect";

    Notify("CALL 71 STATUS FINISHED");
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"})) << "in progress: no connect first";
    EXPECT_EQ(bridge.CurrentCall(), nullptr);
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(timers.Take(BridgeTimer::Release), 0u);
}

TEST_F(IncomingCall, RingRepeatsEveryTwoSecondsWhileRingingOnly) {
    Notify("CALL 5 STATUS RINGING");
    Notify("CALL 5 PARTNER_HANDLE a b");
    EXPECT_EQ(Call().partnerHandle, "a") << "a value is cut to its first word";
    EXPECT_EQ(handset.Take(), Strings{"ring a"});

    ASSERT_TRUE(Expire(BridgeTimer::Ring));
    EXPECT_EQ(handset.Take(), Strings{"ring a"});
    ASSERT_TRUE(Expire(BridgeTimer::Ring)) << "the repeat stopped while the call still rang";
    handset.Take();

    Press("C");
    Notify("CALL 5 STATUS INPROGRESS");
    handset.Take();
    ASSERT_TRUE(Expire(BridgeTimer::Ring));
    EXPECT_EQ(handset.Take(), Strings{}) << "rang again once answered";
    EXPECT_FALSE(Expire(BridgeTimer::Ring)) << "the repeat went on after the answer";
}

// Skype may be slow to put the answered call in progress, or never do it: the handset that answered rings
// no more meanwhile, and is neither answered twice nor given tones.
TEST_F(IncomingCall, OnceTheHandsetAnsweredTheRingIsNotRepeated) {
    StartIncoming("5", "alice");
    Press("C");
    EXPECT_EQ(bridge.Phase(), Phase::Answering);
    handset.Take();
    ASSERT_TRUE(Expire(BridgeTimer::Ring));
    EXPECT_EQ(handset.Take(), Strings{}) << "the handset rang again after it answered";
    EXPECT_FALSE(Expire(BridgeTimer::Ring)) << "the repeat went on after the answer";
    Press("C5");
    EXPECT_EQ(skype.Send(), Strings{"set call 5 status inprogress"});
    Notify("CALL 5 STATUS INPROGRESS");
    EXPECT_EQ(handset.Take(), Strings{"call light 1"});
    Notify("CALL 5 STATUS FAILED");
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"}));
}

TEST_F(IncomingCall, AnsweredAtThePcBringsTheHandsetIntoTheCall) {
    StartIncoming("72", "bob");
    handset.Take();
    Notify("CALL 72 STATUS INPROGRESS");
    EXPECT_EQ(handset.Take(), (Strings{"show *bob", "connect", "call light 1"}));
    EXPECT_EQ(bridge.Phase(), Phase::Talking);
}

TEST_F(IncomingCall, RingingIsRefusedWhileTheHandsetEntersANumberOrBrowses) {
    bridge.HandleSkypeNotification("USERS alice");
    skype.Send();
    for (const char* keys : {"#1", "##"}) {
        Press(keys);
        Phase busy = bridge.Phase();
        Notify("CALL 5 STATUS RINGING");
        EXPECT_EQ(bridge.CurrentCall(), nullptr) << PhaseName(busy);
        EXPECT_EQ(skype.Send(), Strings{"SET CALL 5 STATUS FINISHED"}) << PhaseName(busy);
        EXPECT_EQ(bridge.Phase(), busy);
        Press("B");
    }
    handset.Take();
    Notify("CALL 6 STATUS RINGING");
    EXPECT_NE(bridge.CurrentCall(), nullptr) << "an idle handset takes the call";
}

TEST_F(IncomingCall, ASecondCallIsRefusedWithItsOwnIdAndTheFirstGoesOn) {
    StartIncoming("5", "alice");
    handset.Take();
    Notify("CALL 6 STATUS RINGING");
    Notify("CALL 7 STATUS ROUTING");
    Notify("CALL 6 STATUS FINISHED");
    Notify("CALL 6 PARTNER_HANDLE mallory");
    EXPECT_EQ(skype.Send(), (Strings{"SET CALL 6 STATUS FINISHED", "SET CALL 7 STATUS FINISHED"}));
    EXPECT_EQ(Call().callId, "5");
    EXPECT_EQ(bridge.Phase(), Phase::Ringing);
    EXPECT_EQ(Call().partnerHandle, "alice");
    EXPECT_EQ(handset.Take(), Strings{});
}

TEST_F(IncomingCall, FinishedAfterTheHandsetHungUpLeavesTheHandsetAlone) {
    StartIncoming("5", "alice");
    Press("C");
    Notify("CALL 5 STATUS INPROGRESS");
    skype.Send();
    handset.Take();
    Press("B");
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 5 STATUS FINISHED"});
    EXPECT_EQ(bridge.Phase(), Phase::HangingUp);
    Notify("CALL 5 STATUS FINISHED");
    EXPECT_EQ(bridge.CurrentCall(), nullptr);
    EXPECT_EQ(handset.Take(), Strings{"call light 0"}) << "no connect, no release";
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
}

TEST_F(IncomingCall, ACallerWhoGivesUpReleasesTheRingingHandsetUnlessTheHandsetRefusedIt) {
    StartIncoming("8", "alice");
    handset.Take();
    Notify("CALL 8 STATUS FINISHED");
    EXPECT_EQ(handset.Take(), Strings{"connect"});
    ASSERT_TRUE(Expire(BridgeTimer::Release));
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"})) << "the handset kept ringing";

    StartIncoming("9", "bob");
    handset.Take();
    Press("B"); // refused on the handset, which is idle again
    Notify("CALL 9 STATUS FINISHED");
    EXPECT_EQ(handset.Take(), Strings{"call light 0"}) << "no connect, no release";
    EXPECT_EQ(timers.Take(BridgeTimer::Release), 0u);
}

// The pause between connect and release is a timer: the next notification is taken at once, and what it
// asks of the handset follows the release in order.
TEST_F(IncomingCall, AnUnansweredCallIsConnectedAndReleasedHalfASecondLaterWithoutWaiting) {
    for (const char* status : {"MISSED", "REFUSED", "BUSY", "FAILED", "CANCELLED"}) {
        SCOPED_TRACE(status);
        StartIncoming("1", "alice");
        handset.Take();
        Notify(std::string("CALL 1 STATUS ") + status);
        EXPECT_EQ(handset.Take(), Strings{"connect"});
        EXPECT_EQ(timers.Take(BridgeTimer::Release), 500u);
        EXPECT_EQ(bridge.Phase(), Phase::RingEnded);
        EXPECT_EQ(bridge.CurrentCall(), nullptr) << "the call is over before the release";
        bridge.OnTimer(BridgeTimer::Release);
        EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"}));
    }

    // A new call rings and is missed while the first release is due: it waits its turn and its own pause.
    StartIncoming("2", "alice");
    Notify("CALL 2 STATUS MISSED");
    StartIncoming("3", "bob");
    Notify("CALL 3 STATUS MISSED");
    EXPECT_EQ(handset.Take(), (Strings{"ring alice", "connect"}));
    ASSERT_TRUE(Expire(BridgeTimer::Release));
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0", "ring bob", "connect"}));
    ASSERT_TRUE(Expire(BridgeTimer::Release)) << "the second connect got no pause of its own";
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"}));
    EXPECT_FALSE(Expire(BridgeTimer::Release));
}

TEST_F(IncomingCall, HangingUpDropsTheCallsUnsentAnswerAndTones) {
    StartIncoming("71", "alice");
    Press("C");
    Notify("CALL 71 STATUS INPROGRESS");
    Press("12");
    EXPECT_EQ(skype.Waiting(),
              (Strings{"set call 71 status inprogress", "SET CALL 71 DTMF 1", "SET CALL 71 DTMF 2"}));
    Press("B");
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 71 STATUS FINISHED"});
}

TEST_F(IncomingCall, NothingIsSentForACallThatHasEnded) {
    StartIncoming("71", "alice");
    Press("C");
    Notify("CALL 71 STATUS INPROGRESS");
    Press("5");
    Notify("USERSTATUS LOGGEDOUT");
    Notify("CALL 71 STATUS FINISHED");
    EXPECT_EQ(skype.Send(), Strings{"GET USERSTATUS"}) << "commands of no call still leave";

    // The partner query of a call refused at once is not asked either.
    Notify("CALL 72 STATUS RINGING");
    Notify("CALL 72 STATUS REFUSED");
    EXPECT_EQ(skype.Send(), Strings{});
}

} // namespace
} // namespace callbridge_test
