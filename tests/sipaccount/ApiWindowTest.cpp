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
    ApiWindow() {
        programAtStart = false;
        contacts.clear();
    }
    void SetUp() override {
        ProviderDesk::SetUp();
        StartSipLink();
        // A discover answered only once the window is there: the log says "registered" a moment before.
        ASSERT_TRUE(WaitForApiWindow()) << ShowLog();
    }
    static bool WaitForApiWindow() {
        return test::WaitUntil([] { return FindWindowA("SipLinkApi", nullptr) != nullptr; }, Wait);
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
    EXPECT_TRUE(WaitForApiWindow()) << ShowLog();
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

// What any program can send to the question's window: "Allow"'s notification, clicks, mouse and key
// messages, posted and sent. None of it allows; the user's own Space on "Deny" (the focus starts there)
// still answers.
TEST_F(ApiWindow, OnlyTheUsersOwnInputAnswersTheQuestion) {
    EXPECT_EQ(client.Discover(1500), nullptr);
    ASSERT_TRUE(test::WaitForAccessQuestion(3000));
    HWND question = FindWindowA("SipLinkAccess", nullptr);
    HWND allow = FindWindowExA(question, nullptr, "Button", "Allow");
    ASSERT_NE(allow, nullptr);
    WPARAM clicked = MAKEWPARAM(GetDlgCtrlID(allow), BN_CLICKED);
    PostMessageA(question, WM_COMMAND, clicked, reinterpret_cast<LPARAM>(allow));
    SendMessageA(question, WM_COMMAND, clicked, reinterpret_cast<LPARAM>(allow));
    SendMessageA(allow, BM_CLICK, 0, 0);
    PostMessageA(allow, BM_CLICK, 0, 0);
    PostMessageA(allow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(allow, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageA(allow, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageA(allow, WM_KEYUP, VK_SPACE, 0xC0390001);
    // The forged clicks moved the focus to "Allow" (a button takes it when pressed); the user moves it
    // back. SipLink takes posted messages before input: everything above is handled before the user's keys.
    SetForegroundWindow(question);
    test::UserKey(VK_TAB);
    test::UserKey(VK_SPACE);
    EXPECT_TRUE(client.WaitForStatus(2)) << "the user's own keys did not answer" << ShowLog();
    EXPECT_EQ(client.statuses, (std::vector<LPARAM>{1, 2})) << "a message from outside allowed it";
}

class ApiWindowWithDectBridge : public sipaccount::ProviderLine {};

// Another program writes DectBridge's window as the sender of a command to SipLink, and SipLink's window
// as the sender of a notification to DectBridge: neither takes it for the other's. What the two really
// send still goes, after it.
TEST_F(ApiWindowWithDectBridge, NoProgramIsTakenForDectBridgeOrForSipLinkByNamingTheirWindow) {
    HWND api = FindWindowA("SipLinkApi", nullptr);
    auto forge = [](HWND to, HWND named, const std::string& text) {
        COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(named), reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG, 5000, &answer);
        return answer;
    };
    EXPECT_EQ(forge(api, program.MainWindow(), "CALL 0900123456"), 0u);
    forge(program.MainWindow(), api, "CALL 9 STATUS RINGING");

    Dial(sipcalls::FarNumber);
    FarRings();
    std::string log = sipLink.Log();
    EXPECT_EQ(log.find("CALL 0900123456"), std::string::npos)
        << "SipLink took a stranger's command" << ShowLog();
    EXPECT_EQ(log.find("CALL 9"), std::string::npos)
        << "DectBridge took a call SipLink never told" << ShowLog();
}

} // namespace
