// SipLink.exe itself, between a window of this test in DectBridge's place and a stand-in for the user
// agent's control port: when its API window exists, what it answers, what it does with bad input, and
// the registry key it makes and removes.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "siplink/Json.h"
#include "siplink/Netstring.h"
#include "siplink/agent/SipLinkEnd.h"
#include "tests/common/ApiClient.h"
#include "tests/common/Program.h"
#include "tests/common/TestSupport.h"

namespace {

const int ControlPort = test::TestPort(35200);
constexpr const char* LogPath = "c:\\temp\\SipLinkProgramTest.log";
constexpr const char* SkypeKey = "SOFTWARE\\Skype\\Phone";

// The agent's side of the control connection, played by the test.
class FakeAgent {
  public:
    FakeAgent() {
        WSADATA winsock;
        WSAStartup(MAKEWORD(2, 2), &winsock);
    }
    ~FakeAgent() {
        Drop();
        if (listener != INVALID_SOCKET)
            closesocket(listener);
        WSACleanup();
    }
    bool Listen() {
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(ControlPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               listen(listener, 1) == 0;
    }
    bool Accept(DWORD timeoutMs = 5000) {
        return Readable(listener, timeoutMs) &&
               (connection = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;
    }
    void Drop() {
        if (connection != INVALID_SOCKET)
            closesocket(connection);
        connection = INVALID_SOCKET;
    }
    // The next command SipLink sends: its name and params; its token is kept for Reply.
    std::string NextCommand(DWORD timeoutMs = 5000) {
        std::string json, skipped;
        while (!reader.Next(json, skipped)) {
            char buffer[1024];
            int count = Readable(connection, timeoutMs) ? recv(connection, buffer, sizeof buffer, 0) : 0;
            if (count <= 0)
                return "";
            reader.Append(buffer, static_cast<size_t>(count));
        }
        JsonMembers members;
        ParseJsonObject(json, members);
        token = members["token"].text;
        return members["command"].text + (members.count("params") ? " " + members["params"].text : "");
    }
    // The next command about calls: the presence polls meanwhile are answered with no contacts.
    std::string NextCallCommand(DWORD timeoutMs = 5000) {
        std::string command;
        while ((command = NextCommand(timeoutMs)) == "contacts")
            Reply("\n--- Contacts (0) ---\n");
        return command;
    }
    void Reply(const std::string& data = "") {
        Send(EncodeNetstring("{\"response\":true,\"ok\":true,\"data\":" + JsonString(data) + ",\"token\":\"" +
                             token + "\"}"));
    }
    void Send(const std::string& bytes) { send(connection, bytes.data(), static_cast<int>(bytes.size()), 0); }

  private:
    static bool Readable(SOCKET socket, DWORD timeoutMs) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
        return select(0, &set, nullptr, nullptr, &wait) == 1;
    }

    SOCKET listener = INVALID_SOCKET;
    SOCKET connection = INVALID_SOCKET;
    NetstringReader reader;
    std::string token;
};

bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SkypeKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Asks SipLink to end as a user would (WM_CLOSE to its main window); answers its exit code. Its last
// notifications are taken meanwhile, as the program takes them.
DWORD EndSipLink(test::Process& process) {
    AskSipLinkToEnd(process.Id());
    test::WaitUntil(
        [&] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            return !process.Running();
        },
        5000);
    DWORD code = process.Wait(0);
    process.Kill();
    return code;
}

// Runs SipLink with the arguments to its end; with `untilReady`, ends it once its main window is there.
DWORD RunSipLink(const std::string& arguments, bool untilReady = false) {
    test::Process process;
    if (!process.Start(test::BinDir() + "\\SipLink.exe", arguments))
        return STILL_ACTIVE;
    if (!untilReady)
        return process.Wait(10000);
    test::WaitUntil([&] { return AskSipLinkToEnd(process.Id()) || !process.Running(); }, 10000);
    return EndSipLink(process);
}

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        CreateDirectoryA("c:\\temp", nullptr);
        DeleteFileA(LogPath);
        RegDeleteKeyA(HKEY_CURRENT_USER, SkypeKey);
        ASSERT_TRUE(agent.Listen());
        ASSERT_TRUE(
            sipLink.Start(test::BinDir() + "\\SipLink.exe",
                          "--control 127.0.0.1:" + std::to_string(ControlPort) + " --log " + LogPath));
    }
    void TearDown() override { EXPECT_EQ(EndSipLink(sipLink), 0u) << "SipLink did not end on WM_CLOSE"; }
    // SipLink connects and asks for the contacts; the agent has none.
    void ConnectAgent() {
        ASSERT_TRUE(agent.Accept()) << "SipLink did not connect";
        ASSERT_EQ(agent.NextCommand(), "contacts");
        agent.Reply("\n--- Contacts (0) ---\n");
    }
    std::string Log() const { return test::ReadWholeFile(LogPath); }

    FakeAgent agent;
    test::ApiClient client;
    test::Process sipLink;
};

TEST_F(Program, TheApiWindowIsThereOnlyWhileTheAgentIsConnected) {
    EXPECT_EQ(client.Discover(1500), nullptr) << "attached without an agent";
    ConnectAgent();
    HWND api = client.Attach();
    ASSERT_NE(api, nullptr) << "no attach reply with the agent there";
    char title[64] = "";
    GetWindowTextA(api, title, sizeof title);
    EXPECT_STREQ(title, "SipLink API");

    EXPECT_EQ(client.Command("GET USERSTATUS"), 1);
    ASSERT_TRUE(client.WaitForNotes(1));
    EXPECT_EQ(client.notes[0], "USERSTATUS ONLINE");
    EXPECT_EQ(client.senders[0], api) << "a notification must come from the API window";

    agent.Drop();
    ASSERT_TRUE(client.WaitForNotes(2));
    EXPECT_EQ(client.notes[1], "USERSTATUS LOGGEDOUT");
    EXPECT_TRUE(test::WaitUntil([&] { return !IsWindow(api); }, 3000)) << "the API window stayed";
    EXPECT_EQ(client.Command("GET USERSTATUS"), 0) << "the program must find the link gone";

    // It connects again by itself; the program the user allowed is not asked about again.
    ConnectAgent();
    EXPECT_NE(client.Discover(), nullptr);
}

// A SipLink that crashes comes back by itself: it asks Windows to restart it with its own arguments.
TEST_F(Program, RegistersForRestartWithItsOwnArguments) {
    std::string expected = "RESTART --control 127.0.0.1:" + std::to_string(ControlPort) + " --log " + LogPath;
    EXPECT_TRUE(test::WaitUntil([&] { return Log().find(expected + "\r\n") != std::string::npos; }, 5000))
        << Log();
}

TEST_F(Program, AProgramItWasNotInstalledWithIsAttachedOnlyWhenTheUserAllowsIt) {
    ConnectAgent();
    EXPECT_EQ(client.Discover(1500), nullptr) << "attached without the user's word";
    EXPECT_EQ(client.statuses, std::vector<LPARAM>{1}) << "the attach reply: pending authorisation";
    std::string question;
    ASSERT_TRUE(test::WaitForAccessQuestion(3000, &question)) << Log();
    EXPECT_NE(question.find("siplinkTests.exe"), std::string::npos)
        << "the question names no program: " << question;
    ASSERT_TRUE(test::AnswerAccessQuestion("Deny"));
    EXPECT_TRUE(client.WaitForStatus(2)) << "no refusal";
    EXPECT_EQ(client.Command("GET USERSTATUS"), 0) << "a refused program's command was taken";

    // Turned away once, it is not asked about again in this run.
    EXPECT_EQ(client.Discover(1500), nullptr);
    EXPECT_EQ(client.statuses, std::vector<LPARAM>{2});
    EXPECT_FALSE(test::WaitForAccessQuestion(500));
}

TEST_F(Program, AnAttachedProgramIsNeverDisplacedWithoutTheUsersWord) {
    ConnectAgent();
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

TEST_F(Program, ACommandGoesOnlyToTheCallTheAgentFound) {
    ConnectAgent();
    ASSERT_NE(client.Attach(), nullptr);
    agent.Send(EncodeNetstring("{\"event\":true,\"type\":\"CALL_INCOMING\",\"direction\":\"incoming\","
                               "\"peeruri\":\"sip:carol@127.0.0.1:5090\",\"id\":\"abc\"}"));
    ASSERT_TRUE(client.WaitForNotes(1)) << Log();
    EXPECT_EQ(client.Command("SET CALL 1 STATUS INPROGRESS"), 1);
    ASSERT_EQ(agent.NextCallCommand(), "callfind abc");
    // The caller gave up meanwhile: the agent no longer knows the call, and its current call is another.
    agent.Reply("call not found (id=abc)\n");
    std::string next = agent.NextCallCommand(1500);
    EXPECT_NE(next, "accept") << "the answer went to whatever call the agent has current";
    ASSERT_TRUE(client.WaitForNotes(2)) << Log();
    EXPECT_EQ(client.notes[1], "CALL 1 STATUS MISSED");
}

TEST_F(Program, BadInputIsAnsweredOrSkippedAndTheLinkGoesOn) {
    ConnectAgent();
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

    // Broken messages from the agent are skipped; the next good one is taken.
    agent.Send("7:{broken,xx:{\"event\":true},garbage");
    agent.Send(EncodeNetstring("{\"event\":true,\"type\":\"CALL_INCOMING\",\"direction\":\"incoming\","
                               "\"peeruri\":\"sip:carol@127.0.0.1:5090\",\"id\":\"abc\"}"));
    ASSERT_TRUE(client.WaitForNotes(4)) << Log();
    EXPECT_EQ(client.notes[3], "CALL 1 STATUS RINGING");
    EXPECT_NE(Log().find(" SKIP "), std::string::npos) << Log();

    // An agent that leaves a command unanswered is given up and connected again.
    EXPECT_EQ(client.Command("SET CALL 1 STATUS INPROGRESS"), 1);
    EXPECT_EQ(agent.NextCallCommand(), "callfind abc");
    ASSERT_TRUE(client.WaitForNotes(6, 9000)) << Log();
    EXPECT_EQ(client.notes[4], "CALL 1 STATUS MISSED");
    EXPECT_EQ(client.notes[5], "USERSTATUS LOGGEDOUT");
    agent.Drop();
    ConnectAgent();
}

std::string IncomingEvent(const std::string& id, const std::string& extra = "") {
    return EncodeNetstring("{\"event\":true,\"type\":\"CALL_INCOMING\",\"direction\":\"incoming\","
                           "\"peeruri\":\"sip:carol@127.0.0.1:5090\",\"id\":\"" +
                           id + "\"" + extra + "}");
}

TEST_F(Program, ADeeplyNestedMessageIsSkippedWithALogLineAndTheLinkGoesOn) {
    ConnectAgent();
    ASSERT_NE(client.Attach(), nullptr);
    // About 40 KB of brackets, far below the longest message the framing takes.
    agent.Send(IncomingEvent("deep", ",\"x\":" + std::string(20000, '[') + std::string(20000, ']')));
    agent.Send(IncomingEvent("abc"));
    ASSERT_TRUE(client.WaitForNotes(1)) << "SipLink did not go on";
    EXPECT_EQ(client.notes[0], "CALL 1 STATUS RINGING");
    EXPECT_TRUE(sipLink.Running());
    std::string log = Log();
    EXPECT_NE(log.find(" SKIP not a reply or event: {\"event\":true"), std::string::npos) << log;
    for (size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LT(end - start, 1200u) << "a whole message went into the log: " << log.substr(start, 200);
}

TEST_F(Program, AClientThatTakesNoNotificationDoesNotHoldUpTheAgentsSide) {
    ConnectAgent();
    ASSERT_NE(client.Attach(), nullptr);
    // From here the client's thread takes no message until the agent's side has been seen to go on.
    agent.Send(IncomingEvent("first"));
    ASSERT_TRUE(
        test::WaitUntil([] { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }, 5000))
        << "SipLink did not try to tell the client of the call";
    // A second call is refused as busy while SipLink still waits for the client to take the first note.
    agent.Send(IncomingEvent("second"));
    EXPECT_EQ(agent.NextCallCommand(3000), "callfind second") << "the agent's side waited for the client";
    agent.Reply("setting current call: second\n");
    EXPECT_EQ(agent.NextCallCommand(3000), "hangup");
    agent.Reply();
    // Nothing is lost once the client takes its messages again.
    ASSERT_TRUE(client.WaitForNotes(1));
    EXPECT_EQ(client.notes[0], "CALL 1 STATUS RINGING");
}

// What any program can send to the question's window: "Allow"'s notification, clicks, mouse and key
// messages, posted and sent. None of it allows; the user's own Space on "Deny" (the focus starts there)
// still answers.
TEST_F(Program, OnlyTheUsersOwnInputAnswersTheQuestion) {
    ConnectAgent();
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
    EXPECT_TRUE(client.WaitForStatus(2)) << "the user's own keys did not answer" << Log();
    EXPECT_EQ(client.statuses, (std::vector<LPARAM>{1, 2})) << "a message from outside allowed it";
}

// Another program writes DectBridge's window as the sender of a command to SipLink, and SipLink's window
// as the sender of a notification to DectBridge: neither takes it for the other's. What the two really
// send still goes, after it.
TEST_F(Program, NoProgramIsTakenForDectBridgeOrForSipLinkByNamingTheirWindow) {
    SimReset();
    RegSetKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", "CountryCode", REG_SZ, "", 1);
    test::Program bridge;
    ASSERT_TRUE(bridge.Start());
    ConnectAgent();
    ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, 10000))
        << "DectBridge did not attach" << Log();
    HWND api = FindWindowA("SipLinkApi", nullptr);
    auto forge = [](HWND to, HWND named, const std::string& text) {
        COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(named), reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG, 5000, &answer);
        return answer;
    };
    EXPECT_EQ(forge(api, bridge.MainWindow(), "CALL 0900123456"), 0u);
    forge(bridge.MainWindow(), api, "CALL 9 STATUS RINGING");

    for (char key : std::string("#42#")) {
        ASSERT_TRUE(HandsetPressKey(static_cast<uint8_t>(key)));
        ASSERT_TRUE(WaitUntilBaseSent(5000));
    }
    EXPECT_EQ(agent.NextCallCommand(10000), "dial 42") << Log();
    EXPECT_EQ(Log().find("CALL 9"), std::string::npos) << "DectBridge took a call SipLink never told" << Log();
}

// One SipLink per session: a second start shows the running one's account window and ends; a second
// account window shows the one open; --uninstall runs beside it.
TEST_F(Program, ASecondStartShowsTheRunningOneAndEnds) {
    ASSERT_TRUE(test::WaitUntil([] { return FindWindowA("SipLinkMain", nullptr) != nullptr; }, 5000));
    EXPECT_EQ(RunSipLink(""), 0u) << "a second SipLink went on running";
    HWND account = test::WaitForWindow("SIP account", 10000);
    ASSERT_NE(account, nullptr) << "the running SipLink did not show its account window" << Log();
    EXPECT_EQ(RunSipLink("--settings"), 0u) << "a second account window went on running";
    int accountWindows = 0;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, nullptr, "SIP account")) != nullptr;)
        ++accountWindows;
    EXPECT_EQ(accountWindows, 1);
    EXPECT_EQ(RunSipLink("--uninstall"), 0u);
    PostMessageA(account, WM_CLOSE, 0, 0);
}

TEST(SipLinkOptions, AControlAddressOffThisMachineIsRefusedUnlessTheRiskIsNamed) {
    CreateDirectoryA("c:\\temp", nullptr);
    // 0.0.0.0 is no loopback address, and a connection to it stays on this machine.
    const std::string offLoopback = "--control 0.0.0.0:1 --log " + std::string(LogPath);
    DeleteFileA(LogPath);
    EXPECT_EQ(RunSipLink(offLoopback), 2u);
    EXPECT_NE(test::ReadWholeFile(LogPath).find(" REFUSED the agent's control port 0.0.0.0:1 "),
              std::string::npos)
        << test::ReadWholeFile(LogPath);

    EXPECT_EQ(RunSipLink(offLoopback + " --allow-remote-control-unauthenticated", true), 0u);
    std::string log = test::ReadWholeFile(LogPath);
    EXPECT_NE(log.find(" WARNING the agent's control port 0.0.0.0:1 "), std::string::npos) << log;
    EXPECT_NE(log.find(" READY"), std::string::npos) << log;

    DeleteFileA(LogPath);
    EXPECT_EQ(RunSipLink("--control 127.0.0.2:1 --log " + std::string(LogPath), true), 0u)
        << "all of 127/8 is this machine";
    EXPECT_EQ(test::ReadWholeFile(LogPath).find("WARNING"), std::string::npos);
}

TEST(SipLinkInstall, TheSkypeKeyIsMadeWhenMissingAndOnlyWhatWasMadeIsRemoved) {
    const std::string noAgent = "--control 127.0.0.1:1";
    RegDeleteKeyA(HKEY_CURRENT_USER, SkypeKey);
    EXPECT_EQ(RunSipLink(noAgent, true), 0u);
    EXPECT_TRUE(KeyExists()) << "the key the program looks for must stay while SipLink is installed";
    EXPECT_EQ(RunSipLink("--uninstall"), 0u);
    EXPECT_FALSE(KeyExists()) << "uninstalling left the key SipLink made";

    // A key that was there before SipLink is not SipLink's to remove.
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, SkypeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RunSipLink(noAgent, true), 0u);
    EXPECT_EQ(RunSipLink("--uninstall"), 0u);
    EXPECT_TRUE(KeyExists());

    EXPECT_EQ(RunSipLink("--colour blue"), 2u) << "an unknown option";
    EXPECT_EQ(RunSipLink("--control nowhere"), 2u);
}

} // namespace
