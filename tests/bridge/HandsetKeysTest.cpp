// Handset keys turned into Skype commands and dialling states, with no base in service (so the handset
// display is not involved; the end-to-end tests read it).
#include <gtest/gtest.h>

#include "tests/bridge/BridgeDialog.h"

namespace {

using bridge_test::BridgeDialog;
using Strings = std::vector<std::string>;

class HandsetKeys : public BridgeDialog {
  protected:
    void SetUp() override {
        Make([](SimState& state) { state.config.plugged = 0; });
        dialog->countryCode.clear(); // the saved setting is not this test's
    }
    void SetCall(const char* status, int outgoing = 0) {
        dialog->currentCall = std::make_unique<CallRecord>(CallRecord{outgoing, "71", "alice", status});
    }
};

TEST_F(HandsetKeys, TonesOnlyWhileTheCallIsInProgress) {
    for (const char* status : {"RINGING", "ROUTING"}) {
        SetCall(status);
        Press("05*#");
        EXPECT_EQ(Commands(), Strings{}) << "keys during a call in " << status << " sent " << CommandText();
    }
    SetCall("INPROGRESS");
    Press("09*#");
    EXPECT_EQ(Commands(), (Strings{"SET CALL 71 DTMF 0", "SET CALL 71 DTMF 9", "SET CALL 71 DTMF *",
                                   "SET CALL 71 DTMF #"}))
        << CommandText();
    EXPECT_EQ(dialog->dialString, "") << "tones are not dialled digits";
}

TEST_F(HandsetKeys, TakingTheLineAnswersOnlyARingingCall) {
    SetCall("INPROGRESS");
    Press("C");
    SetCall("ROUTING", 1);
    Press("C");
    EXPECT_EQ(Commands(), Strings{}) << CommandText();

    SetCall("RINGING");
    Press("C");
    EXPECT_EQ(Commands(), Strings{"set call 71 status inprogress"}) << CommandText();
    EXPECT_EQ(dialog->dialState, InCall);
}

TEST_F(HandsetKeys, HangingUpEndsTheCallInAnyStatusAndLeavesTheNumberToItsEnd) {
    for (const char* status : {"RINGING", "ROUTING", "INPROGRESS"}) {
        SetCall(status);
        dialog->dialState = InCall;
        dialog->dialString = "0207";
        dialog->skypeCommands.clear();
        Press("B");
        EXPECT_EQ(Commands(), Strings{"SET CALL 71 STATUS FINISHED"}) << status << ": " << CommandText();
        EXPECT_EQ(dialog->dialState, Idle) << status;
        EXPECT_EQ(dialog->dialString, "0207") << status;
    }
}

TEST_F(HandsetKeys, DigitsInIdleAreIgnoredAndHashStartsTheNumber) {
    Press("123*");
    EXPECT_EQ(dialog->dialString, "");
    EXPECT_EQ(dialog->dialState, Idle);
    Press("#");
    EXPECT_EQ(dialog->dialState, EnteringNumber);
    Press("02*07");
    EXPECT_EQ(dialog->dialString, "0207") << "'*' is no digit of a number";
    EXPECT_EQ(Commands(), Strings{}) << CommandText();
}

TEST_F(HandsetKeys, ReleaseAfterDigitsEmptiesTheNumber) {
    Press("#0207B");
    EXPECT_EQ(dialog->dialString, "");
    EXPECT_EQ(dialog->dialState, Idle);
    Press("#5#");
    EXPECT_EQ(Commands(), Strings{"CALL 5"}) << "only the digits after the release count: " << CommandText();
}

TEST_F(HandsetKeys, TheCountryCodeReplacesTheFirstDigitOfNationalNumbers) {
    struct Case {
        const char* country;
        const char* typed;
        const char* command;
    };
    const Case cases[] = {
        {"0044", "02071234567", "CALL 00442071234567"},
        {"0044", "0012125550100", "CALL 0012125550100"}, // international: as typed
        {"0044", "12", "CALL 12"},                       // two digits: as typed
        {"0044", "123", "CALL 004423"},                  // the first digit goes whatever it is
        {"", "02071234567", "CALL 02071234567"},
        {"+49", "0301234", "CALL +49301234"}, // the code is used as entered
    };
    for (const Case& c : cases) {
        dialog->countryCode = c.country;
        dialog->skypeCommands.clear();
        dialog->dialState = Idle;
        dialog->dialString.clear();
        Press(std::string("#") + c.typed + "#");
        EXPECT_EQ(Commands(), Strings{c.command}) << "country \"" << c.country << "\", typed " << c.typed;
        EXPECT_EQ(dialog->dialState, InCall);
        EXPECT_EQ(dialog->dialString, c.typed) << "the number stays until Skype reports the call";
    }
}

TEST_F(HandsetKeys, HashWithoutACallLeavesCallState) {
    Press("#123#");
    ASSERT_EQ(dialog->dialState, InCall);
    // Skype has not reported the call yet: digits, '*' and 'C' find no call, '#' returns to Idle.
    Press("5*C");
    EXPECT_EQ(dialog->dialState, InCall);
    Press("#");
    EXPECT_EQ(dialog->dialState, Idle);
    EXPECT_EQ(Commands(), Strings{"CALL 123"}) << CommandText();
}

TEST_F(HandsetKeys, EveryCodeIsRememberedByItsLowByte) {
    const LONG codes[] = {'5', 0x100 + '7', -1, 0, ')', 'f', 0x7FFFFF00 + 'B'};
    const BYTE expected[] = {'5', '7', 0xFF, 0, ')', 'f', 'B'};
    for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) {
        dialog->HandleHandsetKey(codes[i]);
        EXPECT_EQ(dialog->lastKey, expected[i]) << "code " << codes[i];
    }
    // 0x100 + '#' acts as '#'.
    dialog->dialState = Idle;
    dialog->HandleHandsetKey(0x100 + '#');
    EXPECT_EQ(dialog->dialState, EnteringNumber);
}

TEST_F(HandsetKeys, CodesWithoutAMeaningChangeNothing) {
    Press("#12");
    for (LONG code : std::initializer_list<LONG>{21, 23, 24, 25, 27, ')', 'D', 'E', 'G', 'f', 0})
        dialog->HandleHandsetKey(code);
    EXPECT_EQ(dialog->dialState, EnteringNumber);
    EXPECT_EQ(dialog->dialString, "12");
    EXPECT_EQ(Commands(), Strings{}) << CommandText();
}

} // namespace
