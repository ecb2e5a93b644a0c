// The road of the contact list: asked for once a base is in service, filled from Skype's answer, kept
// current, browsed by keypad group on the handset and called.
#include "tests/callbridge/Fakes.h"

namespace callbridge_test {
namespace {

class Contacts : public CallBridgeTest {
  protected:
    // The handle chosen after each key.
    Strings Chosen(const std::string& keys) {
        Strings chosen;
        for (char key : keys) {
            Press(std::string(1, key));
            chosen.push_back(bridge.DialString());
        }
        return chosen;
    }
};

// A contact added at Skype while the program runs reaches the handset at the next refresh; the contacts
// already there are neither added nor asked about again.
TEST_F(Contacts, TheListIsAskedForFiveSecondsAfterStartAndAgainAtEveryRefreshAndMerged) {
    bridge.OnDeviceStarted();
    ASSERT_EQ(timers.Take(BridgeTimer::Contacts), 5000u);
    bridge.OnTimer(BridgeTimer::Contacts);
    EXPECT_EQ(skype.Send(), Strings{"SEARCH FRIENDS"});
    EXPECT_EQ(timers.Take(BridgeTimer::Contacts), 360000u);

    Notify("USERS bob");
    skype.Send();
    for (const char* answer : {"USERS bob", "USERS", "USERS carol, alice, bob"}) {
        SCOPED_TRACE(answer);
        bridge.OnTimer(BridgeTimer::Contacts);
        EXPECT_EQ(skype.Send(), Strings{"SEARCH FRIENDS"}) << "not asked again";
        EXPECT_EQ(timers.Take(BridgeTimer::Contacts), 360000u);
        Notify(answer);
    }
    EXPECT_EQ(Handles(), (Strings{"bob", "alice", "carol"}));
    EXPECT_EQ(skype.Send(), (Strings{"GET USER alice ONLINESTATUS", "GET USER carol ONLINESTATUS"}));
    Press("##");
    EXPECT_EQ(bridge.DialString(), "bob");
    Press("22");
    EXPECT_EQ(bridge.DialString(), "alice") << "the contact added later is not reached on the handset";
}

// While Skype is away nothing is answered: each refresh replaces the request still waiting.
TEST_F(Contacts, ARefreshWhileTheRequestWaitsAsksOnce) {
    for (int refresh = 0; refresh < 3; ++refresh)
        bridge.OnTimer(BridgeTimer::Contacts);
    EXPECT_EQ(skype.Send(), Strings{"SEARCH FRIENDS"});
}

// The bound of one answer holds at every refresh; each refresh adds the next names.
TEST_F(Contacts, ALongListArrivesOverRefreshesWithinTheBoundOfEachAnswer) {
    std::string answer = "USERS";
    for (size_t i = 0; i < MaxContactsPerAnswer * 3 / 2; ++i)
        answer += (i == 0 ? " u" : ", u") + std::to_string(10000 + i);
    for (size_t expected :
         {MaxContactsPerAnswer, MaxContactsPerAnswer * 3 / 2, MaxContactsPerAnswer * 3 / 2}) {
        size_t before = Handles().size();
        bridge.OnTimer(BridgeTimer::Contacts);
        ASSERT_EQ(skype.Send(), Strings{"SEARCH FRIENDS"}) << "not asked again";
        Notify(answer);
        EXPECT_EQ(Handles().size(), expected);
        EXPECT_EQ(skype.Send().size(), expected - before) << "each new contact is asked about once";
    }
}

TEST_F(Contacts, AnAnswerIsSortedByByteValueAndEachNewContactIsAskedFor) {
    Notify("USERS bob, Alice, carol");
    EXPECT_EQ(Handles(), (Strings{"Alice", "bob", "carol"}));
    for (const ContactRecord& contact : bridge.Contacts().Contacts())
        EXPECT_EQ(contact.onlineStatus, "");
    EXPECT_EQ(skype.Send(), (Strings{"GET USER Alice ONLINESTATUS", "GET USER bob ONLINESTATUS",
                                     "GET USER carol ONLINESTATUS"}));
    EXPECT_EQ(timers.Take(BridgeTimer::Contacts), 360000u);

    // Later answers follow the contacts already there; upper case, then shorter names come first. Empty
    // pieces (doubled or trailing blanks, a lone comma) name nobody.
    Notify("USERS b, ab,  a, B, , A, a ");
    EXPECT_EQ(Handles(), (Strings{"Alice", "bob", "carol", "A", "B", "a", "ab", "b"}));
    EXPECT_EQ(skype.Send().size(), 5u);
    EXPECT_EQ(timers.Take(BridgeTimer::Contacts), 360000u);

    Notify("USERS");
    EXPECT_EQ(Handles().size(), 8u);
    EXPECT_EQ(skype.Send(), Strings{});
    EXPECT_EQ(timers.Take(BridgeTimer::Contacts), 0u) << "a list without names does not start the refresh";
}

// The base was plugged in again while Skype was away: the request still waiting is asked once; the
// answers of two requests overlap, and a name may come twice in one answer.
TEST_F(Contacts, AHandleIsNeverListedTwice) {
    for (int start = 0; start < 2; ++start) {
        bridge.OnDeviceStarted();
        ASSERT_TRUE(Expire(BridgeTimer::Contacts));
    }
    EXPECT_EQ(skype.Send(), Strings{"SEARCH FRIENDS"});
    Notify("USERS bob, alice, bob");
    Notify("USERS alice, bob, carl");
    EXPECT_EQ(Handles(), (Strings{"alice", "bob", "carl"}));
    EXPECT_EQ(skype.Send(), (Strings{"GET USER alice ONLINESTATUS", "GET USER bob ONLINESTATUS",
                                     "GET USER carl ONLINESTATUS"}));
    Press("##");
    EXPECT_EQ(Chosen("2222"), (Strings{"alice", "bob", "carl", "alice"})) << "each contact is paged once";
}

// One answer of 64 KiB: sorted by byte value, and no more than its bound of new contacts, each asked for
// once; a later answer adds the next ones up to its own bound.
TEST_F(Contacts, OneAnswerAddsAtMostItsBoundInSortedOrder) {
    std::string answer = "USERS";
    for (int i = 9000; i > 0; --i)
        answer += (i == 9000 ? " u" : ", u") + std::to_string(i);
    ASSERT_GT(answer.size(), 60000u);
    Notify(answer);
    Strings handles = Handles();
    ASSERT_EQ(handles.size(), MaxContactsPerAnswer);
    EXPECT_TRUE(std::is_sorted(handles.begin(), handles.end()));
    EXPECT_EQ(handles.front(), "u1");
    EXPECT_EQ(skype.Send().size(), MaxContactsPerAnswer);
    Notify(answer);
    handles = Handles();
    ASSERT_EQ(handles.size(), 2 * MaxContactsPerAnswer);
    EXPECT_TRUE(std::is_sorted(handles.begin() + MaxContactsPerAnswer, handles.end()));
    EXPECT_LT(handles[MaxContactsPerAnswer - 1], handles[MaxContactsPerAnswer]);
    EXPECT_EQ(skype.Send().size(), MaxContactsPerAnswer);
}

TEST_F(Contacts, AnOnlineStatusGoesToItsContactOnly) {
    Notify("USERS bob, carol");
    Notify("USER dave ONLINESTATUS ONLINE");
    Notify("USER bob ONLINESTATUS AWAY");
    Notify("USER carol FULLNAME Carol");
    Strings statuses;
    for (const ContactRecord& contact : bridge.Contacts().Contacts())
        statuses.push_back(contact.handle + "=" + contact.onlineStatus);
    EXPECT_EQ(statuses, (Strings{"bob=AWAY", "carol="}));
}

TEST_F(Contacts, ARepeatedKeyPagesThroughItsGroupAndWrapsAndHashCalls) {
    Notify("USERS alice, bob, carol, dave");
    Press("##");
    ASSERT_EQ(bridge.Phase(), Phase::BrowsingContacts);
    EXPECT_EQ(bridge.DialString(), "alice") << "browsing starts at the first contact of the first group";
    EXPECT_EQ(handset.Take(), Strings{"show alice"});
    EXPECT_EQ(Chosen("22223"), (Strings{"alice", "bob", "carol", "alice", "dave"}));
    handset.Take();
    skype.Send();
    Press("#");
    EXPECT_EQ(skype.Send(), Strings{"CALL dave"});
    EXPECT_EQ(handset.Take(), Strings{"show >dave"});
    EXPECT_EQ(bridge.Phase(), Phase::Dialling);
}

TEST_F(Contacts, KeyGroupsFollowTheKeypadLetters) {
    Notify("USERS +4930123, 0123, Alice, bob, ed, greg, jim, mo, sam, tom, zed, _x");
    Press("##");
    EXPECT_EQ(bridge.DialString(), "+4930123");
    EXPECT_EQ(Chosen("11"), (Strings{"+4930123", "0123"})) << "'1' holds '+' and the digits";
    EXPECT_EQ(Chosen("23456789"), (Strings{"bob", "ed", "greg", "jim", "mo", "sam", "tom", "zed"}));
    EXPECT_EQ(Chosen("0000000000"),
              (Strings{"bob", "ed", "greg", "jim", "mo", "sam", "tom", "zed", "bob", "ed"}))
        << "'0' holds every lower-case handle in list order; upper case and '_' belong to no group";
}

TEST_F(Contacts, AGroupWithoutContactsKeepsTheContactShown) {
    Notify("USERS alice, bob");
    Press("##2");
    Press("9");
    EXPECT_EQ(bridge.DialString(), "alice");
    Press("2");
    EXPECT_EQ(bridge.DialString(), "alice")
        << "after another key the group starts again at its first contact";
}

TEST_F(Contacts, TheOnlineFilterShowsOnlyOnlineAndSkypeOutContacts) {
    Notify("USERS adam, alice, amy, anna, anne, ava");
    for (const char* status : {"adam AWAY", "amy ONLINE", "anna online", "anne SKYPEOUT", "ava OFFLINE"}) {
        std::string text = status;
        Notify("USER " + text.substr(0, text.find(' ')) + " ONLINESTATUS " + text.substr(text.find(' ') + 1));
    }
    settings.onlineOnly = true;
    Press("##");
    EXPECT_EQ(bridge.DialString(), "amy");
    EXPECT_EQ(Chosen("222"), (Strings{"amy", "anne", "amy"}));
    // The setting is read at each step: clearing it shows everyone from the next step on.
    settings.onlineOnly = false;
    EXPECT_EQ(Chosen("22"), (Strings{"anna", "anne"}));
}

TEST_F(Contacts, ALongHandleIsShownCutByTheHandsetAndCalledWhole) {
    Notify("USERS bartholomew.longname");
    handset.Take();
    Press("##");
    EXPECT_EQ(handset.Take(), Strings{"show bartholomew.longname"}) << "no prefix before the handle";
    skype.Send();
    Press("#");
    EXPECT_EQ(skype.Send(), Strings{"CALL bartholomew.longname"});
}

TEST_F(Contacts, NothingToBrowseSaysSoAndReturnsToIdle) {
    // Empty list; everyone hidden by the filter; no handle in any group.
    settings.onlineOnly = true;
    for (const char* answer : {"USERS", "USERS alice, bob", "USERS Alice, _bob"}) {
        SCOPED_TRACE(answer);
        Notify(answer);
        skype.Send();
        Press("##");
        EXPECT_EQ(handset.Take(), Strings{"show No contacts"});
        EXPECT_EQ(bridge.Phase(), Phase::Idle);
        EXPECT_EQ(bridge.DialString(), "");
        Press("#");
        EXPECT_EQ(bridge.Phase(), Phase::EnteringNumber) << "a new number can be entered at once";
        Press("B");
    }
    EXPECT_EQ(skype.Send(), Strings{});
}

TEST_F(Contacts, TheEndKeyOrAHashWithNoContactChosenLeavesBrowsing) {
    Notify("USERS alice");
    Press("##B");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(bridge.DialString(), "") << "release empties the chosen contact";
    // An error notice empties the chosen contact while browsing; '#' then leaves.
    Press("##");
    ASSERT_EQ(bridge.Phase(), Phase::BrowsingContacts);
    Notify("ERROR 68 failed");
    skype.Send();
    Press("#");
    EXPECT_EQ(bridge.Phase(), Phase::Idle);
    EXPECT_EQ(skype.Send(), Strings{});
}

TEST_F(Contacts, AnyOtherEventRestartsTheGroupAndLaterContactsAreReached) {
    Notify("USERS alice, bob, carol");
    Press("##22");
    EXPECT_EQ(bridge.DialString(), "bob");
    bridge.HandleHandsetKey(0); // what a library key notice gives with this base
    Press("2");
    EXPECT_EQ(bridge.DialString(), "alice");

    Press("22");
    ASSERT_EQ(bridge.DialString(), "carol");
    Notify("USERS carl");
    Press("2");
    EXPECT_EQ(bridge.DialString(), "alice") << "carol was the last: the group starts over";
    EXPECT_EQ(Chosen("222"), (Strings{"bob", "carol", "carl"})) << "a contact added later is paged to";
}

} // namespace
} // namespace callbridge_test
