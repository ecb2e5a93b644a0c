// SipLink.exe itself, between a window of this test in DectBridge's place and a stand-in for the user
// agent's control port: when its API window exists, what it answers, what it does with bad input, and
// the registry key it makes and removes.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "siplink/Json.h"
#include "siplink/Netstring.h"
#include "siplink/agent/SipLinkEnd.h"
#include "tests/common/TestSupport.h"

namespace {

const int ControlPort = test::TestPort(37444);
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

// DectBridge's place: a window that discovers, takes the attach reply and the notifications.
class Client {
  public:
    Client() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SipLinkTestClient";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "SipLinkTestClient", "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        current = this;
    }
    ~Client() {
        DestroyWindow(window);
        current = nullptr;
    }
    // Broadcasts the discover message; answers the API window of the attach reply (status 0), if any came.
    HWND Discover(DWORD timeoutMs = 3000) {
        api = nullptr;
        SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("SkypeControlAPIDiscover"),
                            reinterpret_cast<WPARAM>(window), 0, SMTO_ABORTIFHUNG, 2000, nullptr);
        test::WaitUntil([&] { return Pump(), api != nullptr; }, timeoutMs);
        return api;
    }
    // Sends a command the way the program does; answers SendMessage's result.
    LRESULT Command(const void* data, DWORD size, HWND from = nullptr) {
        COPYDATASTRUCT copy = {0, size, const_cast<void*>(data)};
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(api, WM_COPYDATA, reinterpret_cast<WPARAM>(from ? from : window),
                            reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 5000, &answer);
        return static_cast<LRESULT>(answer);
    }
    LRESULT Command(const std::string& text) {
        return Command(text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    // Until `count` notifications have come in all.
    bool WaitForNotes(size_t count, DWORD timeoutMs = 5000) {
        return test::WaitUntil([&] { return Pump(), notes.size() >= count; }, timeoutMs);
    }
    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    HWND window = nullptr;
    HWND api = nullptr;
    std::vector<std::string> notes;
    std::vector<HWND> senders;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (current && message == RegisterWindowMessageA("SkypeControlAPIAttach") && lParam == 0) {
            current->api = reinterpret_cast<HWND>(wParam);
            return 1;
        }
        if (current && message == WM_COPYDATA) {
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            current->notes.emplace_back(static_cast<const char*>(copy->lpData));
            current->senders.push_back(reinterpret_cast<HWND>(wParam));
            return 1;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static Client* current;
};
Client* Client::current = nullptr;

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
    Client client;
    test::Process sipLink;
};

TEST_F(Program, TheApiWindowIsThereOnlyWhileTheAgentIsConnected) {
    EXPECT_EQ(client.Discover(1500), nullptr) << "attached without an agent";
    ConnectAgent();
    HWND api = client.Discover();
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

    // It connects again by itself.
    ConnectAgent();
    EXPECT_NE(client.Discover(), nullptr);
}

// A SipLink that crashes comes back by itself: it asks Windows to restart it with its own arguments.
TEST_F(Program, RegistersForRestartWithItsOwnArguments) {
    std::string expected = "RESTART --control 127.0.0.1:" + std::to_string(ControlPort) + " --log " + LogPath;
    EXPECT_TRUE(test::WaitUntil([&] { return Log().find(expected + "\r\n") != std::string::npos; }, 5000))
        << Log();
}

TEST_F(Program, BadInputIsAnsweredOrSkippedAndTheLinkGoesOn) {
    ConnectAgent();
    ASSERT_NE(client.Discover(), nullptr);
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
    EXPECT_EQ(agent.NextCommand(), "callfind abc");
    ASSERT_TRUE(client.WaitForNotes(6, 9000)) << Log();
    EXPECT_EQ(client.notes[4], "CALL 1 STATUS MISSED");
    EXPECT_EQ(client.notes[5], "USERSTATUS LOGGEDOUT");
    agent.Drop();
    ConnectAgent();
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
