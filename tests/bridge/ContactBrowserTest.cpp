// Browsing contacts with the digit keys: groups, paging, the online filter and calling the contact shown.
#include <gtest/gtest.h>

#include "tests/bridge/BridgeDialog.h"

namespace {

using bridge_test::BridgeDialog;
using Strings = std::vector<std::string>;

class ContactBrowser : public BridgeDialog {
  protected:
    void SetUp() override {
        Make([](SimState& state) { state.config.plugged = 0; });
        dialog->onlineOnlyBox.SetChecked(false);
    }
    void AddContacts(const std::vector<ContactRecord>& list) {
        for (const ContactRecord& contact : list)
            dialog->contacts.push_back(contact);
    }
    // The handle chosen after each key.
    Strings Chosen(const std::string& keys) {
        Strings chosen;
        for (char key : keys) {
            Press(std::string(1, key));
            chosen.push_back(dialog->dialString);
        }
        return chosen;
    }
};

TEST_F(ContactBrowser, RepeatedKeyPagesThroughItsGroupAndWraps) {
    AddContacts({{"alice", ""}, {"bob", ""}, {"carol", ""}, {"dave", ""}});
    Press("##");
    ASSERT_EQ(dialog->dialState, BrowsingContacts);
    EXPECT_EQ(dialog->dialString, "alice") << "browsing starts at the first contact of the first group";
    EXPECT_EQ(Chosen("22223"), (Strings{"alice", "bob", "carol", "alice", "dave"}));
    Press("#");
    EXPECT_EQ(Commands(), Strings{"CALL dave"}) << CommandText();
    EXPECT_EQ(dialog->dialState, InCall);
}

TEST_F(ContactBrowser, KeyGroupsFollowTheKeypadLetters) {
    AddContacts({{"+4930123", ""},
                 {"0123", ""},
                 {"Alice", ""},
                 {"", ""},
                 {"bob", ""},
                 {"ed", ""},
                 {"greg", ""},
                 {"jim", ""},
                 {"mo", ""},
                 {"sam", ""},
                 {"tom", ""},
                 {"zed", ""},
                 {"_x", ""}});
    Press("##");
    EXPECT_EQ(dialog->dialString, "+4930123");
    EXPECT_EQ(Chosen("11"), (Strings{"+4930123", "0123"})) << "'1' holds '+' and the digits";
    EXPECT_EQ(Chosen("23456789"), (Strings{"bob", "ed", "greg", "jim", "mo", "sam", "tom", "zed"}));
    EXPECT_EQ(Chosen("0000000000"),
              (Strings{"bob", "ed", "greg", "jim", "mo", "sam", "tom", "zed", "bob", "ed"}))
        << "'0' holds every lower-case handle in list order; upper case, empty and '_' belong to no group";
}

TEST_F(ContactBrowser, AGroupWithoutContactsKeepsTheContactShown) {
    AddContacts({{"alice", ""}, {"bob", ""}});
    Press("##2");
    Press("9");
    EXPECT_EQ(dialog->dialString, "alice");
    Press("2");
    EXPECT_EQ(dialog->dialString, "alice") << "after another key the group starts again at its first contact";
}

TEST_F(ContactBrowser, TheOnlineFilterShowsOnlyOnlineAndSkypeOutContacts) {
    AddContacts({{"adam", "AWAY"},
                 {"alice", ""},
                 {"amy", "ONLINE"},
                 {"anna", "online"},
                 {"anne", "SKYPEOUT"},
                 {"ava", "OFFLINE"}});
    dialog->onlineOnlyBox.SetChecked(true);
    Press("##");
    EXPECT_EQ(dialog->dialString, "amy");
    EXPECT_EQ(Chosen("222"), (Strings{"amy", "anne", "amy"}));
    // The box is read at each step: unticking it shows everyone from the next step on.
    dialog->onlineOnlyBox.SetChecked(false);
    EXPECT_EQ(Chosen("22"), (Strings{"anna", "anne"}));
}

TEST_F(ContactBrowser, ALongHandleIsCalledWhole) {
    AddContacts({{"bartholomew.longname", "ONLINE"}});
    Press("##");
    EXPECT_EQ(dialog->dialString, "bartholomew.longname");
    Press("#");
    EXPECT_EQ(Commands(), Strings{"CALL bartholomew.longname"}) << CommandText();
}

TEST_F(ContactBrowser, NothingToBrowseReturnsToIdle) {
    // Empty list; everyone hidden by the filter; no handle in any group.
    const std::vector<std::vector<ContactRecord>> lists = {
        {}, {{"alice", "AWAY"}, {"bob", ""}}, {{"Alice", "ONLINE"}, {"_bob", "ONLINE"}}};
    for (const auto& list : lists) {
        dialog->contacts.clear();
        AddContacts(list);
        dialog->onlineOnlyBox.SetChecked(true);
        dialog->dialState = Idle;
        Press("##");
        EXPECT_EQ(dialog->dialState, Idle) << list.size() << " contacts";
        EXPECT_EQ(dialog->dialString, "");
        Press("#");
        EXPECT_EQ(dialog->dialState, EnteringNumber) << "a new number can be entered at once";
    }
    EXPECT_EQ(Commands(), Strings{}) << CommandText();
}

TEST_F(ContactBrowser, HashWithNoContactChosenLeavesBrowsing) {
    AddContacts({{"alice", ""}});
    Press("##B");
    EXPECT_EQ(dialog->dialState, Idle);
    EXPECT_EQ(dialog->dialString, "") << "release empties the chosen contact";
    // Skype's error notices empty the chosen contact while browsing.
    Press("##");
    ASSERT_EQ(dialog->dialState, BrowsingContacts);
    dialog->dialString.clear();
    Press("#");
    EXPECT_EQ(dialog->dialState, Idle);
    EXPECT_EQ(Commands(), Strings{}) << CommandText();
}

TEST_F(ContactBrowser, AnyOtherEventRestartsTheGroup) {
    AddContacts({{"alice", ""}, {"bob", ""}, {"carol", ""}});
    Press("##22");
    EXPECT_EQ(dialog->dialString, "bob");
    dialog->HandleHandsetKey(0); // what a 1426 notice gives with this base
    Press("2");
    EXPECT_EQ(dialog->dialString, "alice");
}

TEST_F(ContactBrowser, ContactsAddedAfterTheLastShownAreReachedByPaging) {
    AddContacts({{"alice", ""}, {"bob", ""}});
    Press("##22");
    ASSERT_EQ(dialog->dialString, "bob");
    AddContacts({{"carl", ""}});
    Press("2");
    EXPECT_EQ(dialog->dialString, "alice") << "bob was the last: the group starts over";
    Press("22");
    EXPECT_EQ(dialog->dialString, "carl");
}

} // namespace
