// The handset's phase along the roads a call takes, as the trace log hears of it: each change with its
// reason, none refused.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class PhaseLog : public PhaseWatcher {
  public:
    void PhaseChanged(HandsetPhase from, HandsetPhase to, const std::string& why) override {
        EXPECT_FALSE(why.empty()) << PhaseName(from) << " -> " << PhaseName(to);
        changes.push_back(PhaseName(to));
    }
    void PhaseRefused(HandsetPhase from, HandsetPhase to, const std::string& why) override {
        ADD_FAILURE() << "refused: " << PhaseName(from) << " -> " << PhaseName(to) << " (" << why << ")";
    }
    Strings Take() {
        Strings taken;
        taken.swap(changes);
        return taken;
    }
    Strings changes;
};

class Phases : public CallBridgeTest {
  protected:
    void SetUp() override { bridge.SetPhaseWatcher(&log); }
    PhaseLog log;
};

TEST_F(Phases, FollowEachRoadOfACall) {
    // Answered on the handset, ended by the far end.
    StartIncoming("1", "alice");
    Press("C");
    Notify("CALL 1 STATUS INPROGRESS");
    Notify("CALL 1 STATUS FINISHED");
    EXPECT_EQ(log.Take(), (Strings{"Ringing", "Answering", "Talking", "Idle"}));

    // Turned away on the handset; then, after the pause for a late answer, idle again.
    StartIncoming("2", "bob");
    Press("B");
    Notify("CALL 2 STATUS FINISHED");
    ASSERT_TRUE(Expire(BridgeTimer::Notice));
    EXPECT_EQ(log.Take(), (Strings{"Ringing", "HangingUp", "RingEnded", "Idle"}));

    // Dialled on the handset, answered, hung up on the handset.
    Press("#0207#");
    Notify("CALL 3 STATUS ROUTING");
    Notify("CALL 3 STATUS INPROGRESS");
    Press("B");
    Notify("CALL 3 STATUS FINISHED");
    EXPECT_EQ(log.Take(), (Strings{"EnteringNumber", "Dialling", "Routing", "Talking", "HangingUp", "Idle"}));

    // Placed at the PC: the handset joins once it is answered. And a number left to Skype with '#', which
    // Skype then names: the handset is not in that call either.
    Notify("CALL 4 STATUS ROUTING");
    Notify("CALL 4 STATUS INPROGRESS");
    Notify("CALL 4 STATUS FINISHED");
    Press("#42##");
    Notify("CALL 5 STATUS ROUTING");
    EXPECT_EQ(log.Take(), (Strings{"RoutingWithoutHandset", "Talking", "Idle", "EnteringNumber", "Dialling",
                                   "Idle", "RoutingWithoutHandset"}));
    Notify("CALL 5 STATUS FINISHED");
    EXPECT_EQ(log.Take(), Strings{"Idle"});

    // The contacts, the calls list and a call back from it, until the link goes.
    Notify("USERS alice");
    Press("##B*#");
    bridge.OnLinkLost();
    EXPECT_EQ(log.Take(),
              (Strings{"EnteringNumber", "BrowsingContacts", "Idle", "BrowsingCalls", "Dialling", "Idle"}));
}

} // namespace
} // namespace callbridge_test
