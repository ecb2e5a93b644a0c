// A frame from the base lost on its way (a key, perhaps) while a number is chosen: nothing is called with
// what is left, the handset says so, the keys typed on are ignored until a pause, and then the number
// typed again is called.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class LostKeys : public CallBridgeTest {
  protected:
    // The handset says a key was lost; the keys after it do nothing but start the pause again.
    void ExpectKeysIgnored(const std::string& keys) {
        EXPECT_EQ(handset.Take(), Strings{"show Key lost"});
        EXPECT_EQ(bridge.Phase(), Phase::KeysLost);
        EXPECT_EQ(bridge.DialString(), "");
        for (char key : keys) {
            timers.Take(BridgeTimer::Notice);
            Press(std::string(1, key));
            EXPECT_EQ(timers.Take(BridgeTimer::Notice), 3000u) << "the pause did not start again at " << key;
        }
        EXPECT_EQ(bridge.Phase(), Phase::KeysLost);
        EXPECT_EQ(skype.Waiting(), Strings{}) << "called after a lost key";
        EXPECT_EQ(handset.Take(), Strings{});
    }
};

TEST_F(LostKeys, NothingIsCalledWithANumberOrAChoiceAKeyOfWhichWasLost) {
    Notify("USERS alice, bob");
    skype.Send();
    struct Case {
        const char* before;
        const char* after;
    };
    // Typing a number, browsing the contacts, the calls list, and the idle handset, where the lost key may
    // have been the '#' that begins a number.
    for (Case c : {Case{"#020", "1234567#"}, Case{"##2", "2#"}, Case{"*", "*#C"}, Case{"", "0207#"}}) {
        SCOPED_TRACE(std::string(c.before) + " [lost] " + c.after);
        Press(c.before);
        handset.Take();
        bridge.OnHandsetFrameLost();
        ExpectKeysIgnored(c.after);
        // After the pause the handset is idle, and a number typed anew is called as typed.
        bridge.OnTimer(BridgeTimer::Notice);
        EXPECT_EQ(bridge.Phase(), Phase::Idle);
        EXPECT_EQ(handset.Take(), Strings{"show "});
        Press("#02071234567#");
        EXPECT_EQ(skype.Send(), Strings{"CALL 02071234567"});
        Press("#");
        handset.Take();
    }
}

TEST_F(LostKeys, TheEndKeyLeavesAtOnceACallStillRingsAndACallInProgressIsNotDisturbed) {
    Press("#12");
    bridge.OnHandsetFrameLost();
    handset.Take();
    Press("B");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(handset.Take(), Strings{"show "});
    Press("#5#");
    EXPECT_EQ(skype.Send(), Strings{"CALL 5"});
    handset.Take();

    Press("#");
    bridge.OnHandsetFrameLost();
    StartIncoming("71", "alice");
    EXPECT_EQ(handset.Take(), (Strings{"show Key lost", "ring alice"}));
    Press("C");
    Notify("CALL 71 STATUS INPROGRESS");
    skype.Send();
    bridge.OnHandsetFrameLost(); // a tone lost: the user hears it and presses again
    Press("5");
    EXPECT_EQ(bridge.Phase(), Phase::Talking);
    EXPECT_EQ(skype.Send(), Strings{"SET CALL 71 DTMF 5"});
    EXPECT_EQ(timers.Take(BridgeTimer::Notice), 3000u);
    bridge.OnTimer(BridgeTimer::Notice);
    EXPECT_EQ(bridge.Phase(), Phase::Talking) << "the pause's end took the call's phase";
}

} // namespace
} // namespace callbridge_test
