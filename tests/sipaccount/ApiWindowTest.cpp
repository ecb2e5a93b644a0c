// SipLink's API window as a client sees it, with a window of this test in DectBridge's place: it is there
// only while the provider accepts the account, it asks the user about a program it was not installed
// with, it answers every command, and a client that takes no notification never holds up the phone.
#include <winsock2.h>

#include "siplink/account/AccountStore.h"
#include "tests/common/ApiClient.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::AtProvider;
using sipaccount::Wait;

// The account window's word to the running SipLink: the stored account changed.
void TellSipLinkTheAccountChanged() {
    PostMessageA(FindWindowA("SipLinkMain", nullptr),
                 RegisterWindowMessageA("DectBridgeSipLinkAccountChanged"), 0, 0);
}

class ApiWindow : public sipaccount::ProviderDesk {
  protected:
    ApiWindow() { programAtStart = false; }
    void SetUp() override {
        ProviderDesk::SetUp();
        StartSipLink();
        ASSERT_TRUE(WaitForState("Registered with the provider")) << ShowLog();
    }

    test::ApiClient client;
};

TEST_F(ApiWindow, IsThereOnlyWhileTheProviderAcceptsTheAccount) {
    HWND api = client.Attach();
    ASSERT_NE(api, nullptr) << "no attach reply with the account registered" << ShowLog();
    char title[64] = "";
    GetWindowTextA(api, title, sizeof title);
    EXPECT_STREQ(title, "SipLink API");
    EXPECT_EQ(client.Command("GET USERSTATUS"), 1);
    ASSERT_TRUE(client.WaitForNotes(1));
    EXPECT_EQ(client.notes[0], "USERSTATUS ONLINE");
    EXPECT_EQ(client.senders[0], api) << "a notification must come from the API window";

    // The account taken away: the client hears its user gone and finds the window gone.
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
    TellSipLinkTheAccountChanged();
    ASSERT_TRUE(client.WaitForNotes(2)) << ShowLog();
    EXPECT_EQ(client.notes[1], "USERSTATUS LOGGEDOUT");
    EXPECT_TRUE(test::WaitUntil([&] { return !IsWindow(api); }, Wait)) << "the API window stayed";
    EXPECT_EQ(client.Command("GET USERSTATUS"), 0) << "the client must find the line gone";

    // The account back: the line comes again, and the program the user allowed is not asked about again.
    StoreAccount("alicepw");
    TellSipLinkTheAccountChanged();
    EXPECT_TRUE(WaitForState("Registered with the provider")) << ShowLog();
    EXPECT_NE(client.Discover(), nullptr);
}

TEST_F(ApiWindow, AProgramItWasNotInstalledWithIsAttachedOnlyWhenTheUserAllowsIt) {
    EXPECT_EQ(client.Discover(1500), nullptr) << "attached without the user's word";
    EXPECT_EQ(client.statuses, std::vector<LPARAM>{1}) << "the attach reply: pending authorisation";
    std::string question;
    ASSERT_TRUE(test::WaitForAccessQuestion(3000, &question)) << ShowLog();
    EXPECT_NE(question.find("sipaccountTests.exe"), std::string::npos)
        << "the question names no program: " << question;
    ASSERT_TRUE(test::AnswerAccessQuestion("Deny"));
    EXPECT_TRUE(client.WaitForStatus(2)) << "no refusal";
    EXPECT_EQ(client.Command("GET USERSTATUS"), 0) << "a refused program's command was taken";

    // Turned away once, it is not asked about again in this run.
    EXPECT_EQ(client.Discover(1500), nullptr);
    EXPECT_EQ(client.statuses, std::vector<LPARAM>{2});
    EXPECT_FALSE(test::WaitForAccessQuestion(500));
}

TEST_F(ApiWindow, AnAttachedProgramIsNeverDisplacedWithoutTheUsersWord) {
    ASSERT_NE(client.Attach(), nullptr);
    test::ApiClient other;
    EXPECT_EQ(other.Discover(1500), nullptr) << "the attached program was displaced silently";
    std::string question;
    ASSERT_TRUE(test::WaitForAccessQuestion(3000, &question));
    EXPECT_NE(question.find("would take the line from"), std::string::npos) << question;
    ASSERT_TRUE(test::AnswerAccessQuestion("Allow"));
    ASSERT_TRUE(test::WaitUntil([&] { return test::ApiClient::Pump(), other.api != nullptr; }, 5000));
    ASSERT_TRUE(client.WaitForNotes(1));
    EXPECT_EQ(client.notes.back(), "USERSTATUS LOGGEDOUT") << "the displaced program was not told";
    EXPECT_EQ(client.Command("GET USERSTATUS"), 0);
    EXPECT_EQ(other.Command("GET USERSTATUS"), 1);

    // The displaced program waits, unasked, until the one the user preferred is gone.
    EXPECT_EQ(client.Discover(1500), nullptr);
    EXPECT_FALSE(test::WaitForAccessQuestion(500));
    DestroyWindow(other.window);
    EXPECT_NE(client.Discover(), nullptr);
}

TEST_F(ApiWindow, EveryCommandIsAnsweredAndOnlyTheAttachedWindowIsHeard) {
    ASSERT_NE(client.Attach(), nullptr);
    const char unterminated[] = {'G', 'E', 'T', ' ', 'U', 'S', 'E', 'R', 'S', 'T', 'A', 'T', 'U', 'S'};
    EXPECT_EQ(client.Command(nullptr, 0), 1);
    EXPECT_EQ(client.Command(unterminated, sizeof unterminated), 1);
    EXPECT_EQ(client.Command(std::string("\xff\x01 CALL")), 1);
    HWND stranger = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(client.Command("GET USERSTATUS", 15, stranger), 0) << "a window that never discovered SipLink";
    DestroyWindow(stranger);
    ASSERT_TRUE(client.WaitForNotes(3));
    EXPECT_EQ(client.notes, (std::vector<std::string>{"ERROR 2 Unknown command", "USERSTATUS ONLINE",
                                                      "ERROR 2 Unknown command"}));
}

TEST_F(ApiWindow, AClientThatTakesNoNotificationDoesNotHoldUpThePhone) {
    ASSERT_NE(client.Attach(), nullptr);
    // From here the client's thread takes no message until the phone's side has been seen to go on.
    ASSERT_TRUE(farEnd.Command("dial", AtProvider("alice")));
    ASSERT_TRUE(
        test::WaitUntil([] { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }, Wait))
        << "SipLink did not try to tell the client of the call" << ShowLog();
    // A second caller is refused busy while SipLink still waits for the client to take the first note.
    sipaccount::SippFarEnd caller;
    ASSERT_TRUE(caller.Start("uac_auth.xml", {"127.0.0.1:" + std::to_string(sipaccount::Port.provider), "-s",
                                              "alice", "-au", "7477", "-ap", "7477pw", "-m", "1"}));
    EXPECT_EQ(caller.Result(), 0) << "the phone's side waited for the client: " << caller.Output();
    // Nothing is lost once the client takes its messages again.
    ASSERT_TRUE(client.WaitForNotes(1));
    EXPECT_EQ(client.notes[0], "CALL 1 STATUS RINGING");
}

} // namespace
