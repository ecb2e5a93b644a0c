// The road of an outgoing call: '#', the number, '#' again; Skype routes the call, names the partner,
// puts it in progress and ends it. Tones while it is in progress, and a number given up with the end key.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class OutgoingCall : public CallBridgeTest {};

TEST_F(OutgoingCall, ATypedNumberIsCalledAndTheCallRunsToItsEnd) {
    Press("#0207#");
    EXPECT_EQ(skype.Send(), Strings{"CALL 0207"});
    EXPECT_EQ(handset.Take(), Strings{"show >0207"});
    EXPECT_EQ(bridge.Phase(), Phase::Dialling);
    EXPECT_EQ(bridge.DialString(), "0207") << "the number stays until Skype reports the call";

    Notify("CALL 72 STATUS ROUTING");
    ASSERT_NE(bridge.CurrentCall(), nullptr);
    EXPECT_EQ(bridge.Phase(), Phase::Routing);
    EXPECT_EQ(skype.Send(), PartyQueries("72"));

    Notify("CALL 72 PARTNER_HANDLE carol");
    EXPECT_EQ(handset.Take(), Strings{"show >carol"});
    EXPECT_EQ(timers.Take(BridgeTimer::Ring), 0u) << "an outgoing call does not ring the handset";
    Notify("CALL 72 STATUS RINGING");
    EXPECT_EQ(bridge.Phase(), Phase::Routing) << "the far end ringing changes no status";
    EXPECT_EQ(bridge.DialString(), "") << "a status of the current call empties the number";

    Notify("CALL 72 STATUS INPROGRESS");
    EXPECT_EQ(handset.Take(), Strings{"call light 1"});
    Notify("CALL 72 STATUS FINISHED");
    EXPECT_EQ(handset.Take(), (Strings{"release", "call light 0"}));
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(bridge.CurrentCall(), nullptr);
}

// Only the trunk '0' of a national number is replaced; an emergency number dialled anywhere must reach the
// emergency service, so short numbers and numbers without the trunk '0' go as typed.
TEST_F(OutgoingCall, TheCountryCodeReplacesOnlyTheTrunkZeroOfNationalNumbers) {
    struct Case {
        const char* country;
        const char* typed;
        const char* command;
        const char* shown;
    };
    const Case cases[] = {
        {"0044", "02071234567", "CALL 00442071234567", "show >00442071234567"},
        {"0044", "0012125550100", "CALL 0012125550100", "show >0012125550100"}, // international: as typed
        {"0044", "12", "CALL 12", "show >12"},
        {"0044", "112", "CALL 112", "show >112"}, // emergency numbers: as typed
        {"0044", "911", "CALL 911", "show >911"},
        {"0044", "999", "CALL 999", "show >999"},
        {"0044", "000", "CALL 000", "show >000"},
        {"0044", "123", "CALL 123", "show >123"},
        {"0044", "19222", "CALL 19222", "show >19222"},       // service number: as typed
        {"0044", "01234", "CALL 01234", "show >01234"},       // short, though with a '0': as typed
        {"0044", "5551234", "CALL 5551234", "show >5551234"}, // local, without the trunk: as typed
        {"0044", "012345", "CALL 004412345", "show >004412345"},
        {"", "02071234567", "CALL 02071234567", "show >02071234567"},
        // A code entered without its international prefix is a country code all the same.
        {"49", "0301234567", "CALL 0049301234567", "show >0049301234567"},
        {"+49", "0301234", "CALL 0049301234", "show >0049301234"},
        {"0049", "0301234", "CALL 0049301234", "show >0049301234"},
        {"49", "112", "CALL 112", "show >112"},
        {"abc", "0301234", "CALL 0301234", "show >0301234"}, // no country code: as typed
    };
    for (const Case& c : cases) {
        settings.countryCode = c.country;
        Press(std::string("#") + c.typed + "#");
        EXPECT_EQ(skype.Send(), Strings{c.command}) << "country \"" << c.country << "\", typed " << c.typed;
        EXPECT_EQ(handset.Take(), Strings{c.shown});
        EXPECT_EQ(bridge.DialString(), c.typed);
        Press("B");
    }
}

TEST_F(OutgoingCall, DigitsBeforeTheFirstHashAreIgnoredAndStarIsNoDigit) {
    Press("123*");
    EXPECT_EQ(bridge.DialString(), "");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    Press("#");
    EXPECT_EQ(bridge.Phase(), Phase::EnteringNumber);
    Press("02*07");
    EXPECT_EQ(bridge.DialString(), "0207");
    EXPECT_EQ(skype.Send(), Strings{});
    EXPECT_EQ(handset.Take(), Strings{}) << "typing shows nothing";
}

TEST_F(OutgoingCall, TheEndKeyAfterDigitsForgetsTheNumber) {
    Press("#0207B");
    EXPECT_EQ(bridge.DialString(), "");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    Press("#5#");
    EXPECT_EQ(skype.Send(), Strings{"CALL 5"}) << "only the digits after the release count";
}

TEST_F(OutgoingCall, UntilSkypeReportsTheCallKeysFindNoCallAndHashLeaves) {
    Press("#123#");
    ASSERT_EQ(bridge.Phase(), Phase::Dialling);
    Press("5*C");
    EXPECT_EQ(bridge.Phase(), Phase::Dialling);
    Press("#");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(skype.Send(), Strings{"CALL 123"});
}

// Skype not attached: the call waits in the queue. Given up with the end key, it must not be placed when
// Skype appears later.
TEST_F(OutgoingCall, ANumberGivenUpBeforeSkypeHeardOfItIsNeverCalled) {
    Press("#123#");
    EXPECT_EQ(skype.Waiting(), Strings{"CALL 123"});
    Notify("USERSTATUS LOGGEDOUT");
    Press("B");
    EXPECT_EQ(skype.Send(), Strings{"GET USERSTATUS"}) << "only the number's own command is dropped";
    EXPECT_EQ(bridge.Phase(), Phase::Idle);

    // Nothing of it reached Skype, so a call the user then places at the PC is not finished in its stead.
    Notify("CALL 101 STATUS ROUTING");
    EXPECT_EQ(skype.Send(), PartyQueries("101"));
    ASSERT_NE(bridge.CurrentCall(), nullptr) << "the call placed at the PC is not the handset's";
    Notify("CALL 101 STATUS FINISHED");
    skype.Send();

    // A number dialled afterwards is called as usual.
    Press("#456#");
    EXPECT_EQ(skype.Send(), Strings{"CALL 456"});
}

// The CALL has left, but the end key comes before Skype names the call: once named, it is finished at Skype
// and never becomes the handset's call; what Skype says of it afterwards leaves the handset alone.
TEST_F(OutgoingCall, ANumberGivenUpAfterItLeftIsFinishedWhenSkypeNamesIt) {
    Press("#0207#");
    ASSERT_EQ(skype.Send(), Strings{"CALL 0207"});
    handset.Take();
    Press("B");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);

    Notify("CALL 101 STATUS ROUTING");
    EXPECT_EQ(bridge.CurrentCall(), nullptr);
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 101 STATUS FINISHED"});
    for (const char* later : {"CALL 101 PARTNER_HANDLE +44207", "CALL 101 STATUS RINGING",
                              "CALL 101 STATUS INPROGRESS", "CALL 101 STATUS FINISHED"}) {
        Notify(later);
        EXPECT_EQ(bridge.CurrentCall(), nullptr) << later;
    }
    EXPECT_EQ(skype.Send(), Strings{}) << "the call is finished once";
    EXPECT_EQ(handset.Take(), Strings{}) << "no ring, no display, no connect";
    EXPECT_EQ(timers.Take(BridgeTimer::Ring), 0u);
    EXPECT_EQ(bridge.Phase(), Phase::Idle);

    StartIncoming("102", "alice");
    EXPECT_EQ(bridge.Phase(), Phase::Ringing);
    EXPECT_EQ(handset.Take(), Strings{"ring alice"});
}

// Only the call given up is finished: a call that rings in before it is named, or a call placed after it,
// goes on as usual.
TEST_F(OutgoingCall, OnlyTheNumberGivenUpIsFinished) {
    Press("#0207#");
    skype.Send();
    Press("B");
    handset.Take();
    StartIncoming("102", "alice");
    EXPECT_EQ(handset.Take(), Strings{"ring alice"});
    Notify("CALL 101 STATUS ROUTING");
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 101 STATUS FINISHED"});
    Notify("CALL 101 STATUS RINGING");
    EXPECT_EQ(skype.Send(), Strings{}) << "the given-up call is not refused a second time";
    EXPECT_EQ(Call().callId, "102");
    Notify("CALL 102 STATUS FINISHED");
    EXPECT_EQ(bridge.CurrentCall(), nullptr);
    ASSERT_TRUE(Expire(BridgeTimer::Release));
    handset.Take();

    Notify("CALL 103 STATUS ROUTING");
    ASSERT_NE(bridge.CurrentCall(), nullptr) << "a call placed at the PC later is the handset's";
    EXPECT_EQ(skype.Send(), PartyQueries("103"));
    Notify("CALL 103 STATUS FINISHED");

    // A number given up and another dialled before Skype named either: which routing is whose cannot be
    // told, so the call the user wants is not risked.
    Press("#0207#B#0208#");
    skype.Send();
    Notify("CALL 104 STATUS ROUTING");
    ASSERT_NE(bridge.CurrentCall(), nullptr);
    EXPECT_EQ(Call().callId, "104");
}

TEST_F(OutgoingCall, TonesOnlyWhileTheCallIsInProgress) {
    Notify("CALL 71 STATUS ROUTING");
    skype.Send();
    Press("05*#C");
    EXPECT_EQ(skype.Send(), Strings{}) << "keys during a routed call";
    Notify("CALL 71 STATUS INPROGRESS");
    Press("09*#");
    EXPECT_EQ(skype.Send(), (Strings{"SET CALL 71 DTMF 0", "SET CALL 71 DTMF 9", "SET CALL 71 DTMF *",
                                     "SET CALL 71 DTMF #"}));
    EXPECT_EQ(bridge.DialString(), "") << "tones are not dialled digits";
}

TEST_F(OutgoingCall, HangingUpInAnyStatusAsksSkypeAndLeavesTheNumberToTheCallsEnd) {
    for (const char* status : {"RINGING", "ROUTING", "INPROGRESS"}) {
        SCOPED_TRACE(status);
        Press("#0207#");
        Notify("CALL 71 STATUS ROUTING");
        if (std::string(status) != "ROUTING")
            Notify(std::string("CALL 71 STATUS ") + status);
        skype.Send();
        Press("B");
        EXPECT_EQ(skype.Send(), Strings{"SET CALL 71 STATUS FINISHED"});
        EXPECT_EQ(bridge.Phase(), Phase::HangingUp);
        Notify("CALL 71 STATUS FINISHED");
        ASSERT_EQ(bridge.CurrentCall(), nullptr);
    }
}

TEST_F(OutgoingCall, EveryCodeCountsByItsLowByte) {
    const int32_t codes[] = {'5', 0x100 + '7', -1, 0, ')', 'f', 0x7FFFFF00 + 'B'};
    const uint8_t expected[] = {'5', '7', 0xFF, 0, ')', 'f', 'B'};
    for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) {
        bridge.HandleHandsetKey(codes[i]);
        EXPECT_EQ(bridge.LastKey(), expected[i]) << "code " << codes[i];
    }
    bridge.HandleHandsetKey(0x100 + '#');
    EXPECT_EQ(bridge.Phase(), Phase::EnteringNumber) << "0x100 + '#' acts as '#'";
    Press("12");
    for (int32_t code : std::initializer_list<int32_t>{21, 23, 24, 25, 27, ')', 'D', 'E', 'G', 'f', 0})
        bridge.HandleHandsetKey(code);
    EXPECT_EQ(bridge.Phase(), Phase::EnteringNumber) << "codes without a meaning change nothing";
    EXPECT_EQ(bridge.DialString(), "12");
    EXPECT_EQ(skype.Send(), Strings{});
}

} // namespace
} // namespace callbridge_test
