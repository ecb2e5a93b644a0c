// Browsing the Skype contacts on the handset and calling one.
#include "dect/PacketLink.h"
#include "tests/e2e/Scene.h"

namespace {

using e2e::Wait;

class Contacts : public e2e::Scene {
  protected:
    // Starts with this contact list at the peer and waits until the program has every status answered.
    void StartWith(const std::string& list, const std::string& lastHandle) {
        ASSERT_TRUE(Start());
        ASSERT_TRUE(peer.Control("contacts " + list));
        ASSERT_TRUE(WaitForContacts(lastHandle)) << ShowCommands();
        Sleep(200);
    }
    // Starts number entry, then gives the handset's display after each key, each key waited for by the
    // display frame it causes.
    std::vector<std::string> Shown(const std::string& keys) {
        Press("#");
        std::vector<std::string> shown;
        for (char key : keys) {
            uint32_t frames = ReadHandset().framesByCommand[CmdDisplay];
            Press(std::string(1, key));
            WaitForFrames(CmdDisplay, frames + 1, Wait);
            std::string display = ReadHandset().display;
            shown.push_back(display.substr(0, display.find_last_not_of(' ') + 1));
        }
        return shown;
    }
};

TEST_F(Contacts, DigitKeysPageThroughTheirGroupsAndHashCallsTheContactShown) {
    StartWith("dave, carol, bob, alice", "dave");
    EXPECT_EQ(Shown("#22223"), (std::vector<std::string>{"alice", "alice", "bob", "carol", "alice", "dave"}));
    Press("#");
    EXPECT_TRUE(WaitForCommand("CALL dave")) << ShowCommands();
    EXPECT_TRUE(WaitForDisplay(">dave"));
}

TEST_F(Contacts, OneReachesDigitsAndPlusAndZeroEveryLowerCaseHandle) {
    StartWith("eve, bob, Zed, 0123, +4930123", "eve");
    EXPECT_EQ(Shown("#111000"),
              (std::vector<std::string>{"+4930123", "+4930123", "0123", "+4930123", "bob", "eve", "bob"}));
}

TEST_F(Contacts, TheOnlineFilterShowsOnlineAndSkypeOutContactsOnly) {
    e2e::WriteSetting("ShowOnlineOnly", "1");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(peer.Control("contacts amy, anna, anne, ava"));
    ASSERT_TRUE(peer.Control("online amy ONLINE"));
    ASSERT_TRUE(peer.Control("online anna AWAY"));
    ASSERT_TRUE(peer.Control("online anne SKYPEOUT"));
    ASSERT_TRUE(peer.Control("online ava ONLINE"));
    // ava's status never arrives: Skype refuses the query for it.
    ASSERT_TRUE(peer.Control("refuse-command GET USER ava ONLINESTATUS"));
    ASSERT_TRUE(peer.WaitForLine("REFUSED", "GET USER ava ONLINESTATUS", e2e::ContactsWait))
        << ShowCommands();
    ASSERT_TRUE(WaitAttached()) << "the program did not attach again";
    Sleep(500);
    EXPECT_EQ(Shown("#2222"), (std::vector<std::string>{"amy", "amy", "anne", "amy", "anne"}));
}

TEST_F(Contacts, ALongHandleIsShownCutAndCalledWhole) {
    StartWith("bartholomew.longname", "bartholomew.longname");
    EXPECT_EQ(Shown("#"), (std::vector<std::string>{"bartholomew."}));
    Press("#");
    EXPECT_TRUE(WaitForCommand("CALL bartholomew.longname")) << ShowCommands();
}

// A name the client writes in UTF-8 is browsed as the program's code page writes it, and goes back to the
// client as the client wrote it.
TEST_F(Contacts, ANameInUtf8IsShownInTheCodePageAndCalledAsTheClientWroteIt) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the name below is written in code page 1252; here it is " << GetACP();
    StartWith("j\xC3\xBCrgen", "j\xC3\xBCrgen");
    EXPECT_EQ(Shown("#"), (std::vector<std::string>{"j\xFCrgen"}));
    Press("#");
    EXPECT_TRUE(WaitForCommand("CALL j\xC3\xBCrgen")) << ShowCommands();
}

TEST_F(Contacts, WithNoContactToShowTheHandsetSaysSoAndANumberCanBeTypedAtOnce) {
    e2e::WriteSetting("ShowOnlineOnly", "1");
    StartWith("zoe", "zoe");
    EXPECT_EQ(Shown("#"), (std::vector<std::string>{"No contacts"}));
    Press("#12#");
    EXPECT_TRUE(WaitForCommand("CALL 12")) << ShowCommands();
}

} // namespace
