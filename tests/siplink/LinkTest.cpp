// The link's rules, driven in process: the program's commands and the agent's messages go in, the
// notifications and the agent commands that come out are checked in order.
#include <gtest/gtest.h>

#include "siplink/Json.h"
#include "siplink/SipLink.h"

namespace {

const char* const ContactText =
    "\n--- Contacts (2) ---\n>     \x1b[32mOnline\x1b[;m alice <sip:alice@127.0.0.1:5060>\n"
    "      \x1b[31mBusy\x1b[;m Carol Smith <sip:carol@127.0.0.1:5100>\n\n";

std::string Join(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& text : texts)
        all += (all.empty() ? "" : " | ") + text;
    return all;
}

class Link : public ::testing::Test, public LinkOutput {
  protected:
    void Notify(const std::string& text) override { notes.push_back(text); }
    void ToAgent(const std::string& frame) override {
        ASSERT_FALSE(inFlight) << "a second command went before the reply to the first: " << frame;
        size_t colon = frame.find(':');
        ASSERT_NE(colon, std::string::npos);
        JsonMembers members;
        ASSERT_TRUE(ParseJsonObject(frame.substr(colon + 1, frame.size() - colon - 2), members)) << frame;
        token = members["token"].text;
        std::string params = members.count("params") ? " " + members["params"].text : "";
        commands.push_back(members["command"].text + params);
        inFlight = true;
    }
    void Log(const std::string& tag, const std::string& text) override { logs.push_back(tag + " " + text); }

    // The agent's side.
    void Raw(const std::string& bytes) { link.AgentBytes(bytes.data(), bytes.size()); }
    void Agent(const std::string& json) { Raw(std::to_string(json.size()) + ":" + json + ","); }
    void Reply(bool ok = true, const std::string& data = "") {
        ASSERT_TRUE(inFlight) << "no command to reply to";
        inFlight = false;
        Agent("{\"response\":true,\"ok\":" + std::string(ok ? "true" : "false") +
              ",\"data\":" + JsonString(data) + ",\"token\":\"" + token + "\"}");
    }
    // Replies to every command in flight until none is left; answers the commands that went.
    std::vector<std::string> ReplyAll() {
        size_t from = commands.size() - (inFlight ? 1 : 0);
        while (inFlight)
            Reply(true, commands.back() == "contacts" ? ContactText : "");
        return Take(commands, from);
    }
    void Event(const std::string& type, const std::string& id, const std::string& direction,
               const std::string& peer, const std::string& param = "") {
        Agent("{\"event\":true,\"type\":\"" + type + "\",\"class\":\"call\",\"direction\":\"" + direction +
              "\",\"peeruri\":\"" + peer + "\",\"id\":\"" + id + "\",\"param\":\"" + param + "\"}");
    }
    void Connect() {
        link.AgentConnected();
        EXPECT_EQ(ReplyAll(), std::vector<std::string>{"contacts"});
        notesTaken = notes.size();
    }
    static std::vector<std::string> Take(const std::vector<std::string>& all, size_t from) {
        return std::vector<std::string>(all.begin() + std::min(from, all.size()), all.end());
    }
    std::vector<std::string> NewNotes() {
        std::vector<std::string> fresh = Take(notes, notesTaken);
        notesTaken = notes.size();
        return fresh;
    }
    // An incoming call from alice, rung through with our id.
    void IncomingFromAlice(const std::string& agentId = "in1", const std::string& id = "1") {
        Event("CALL_INCOMING", agentId, "incoming", "sip:alice@127.0.0.1:5060");
        ASSERT_EQ(NewNotes(), std::vector<std::string>{"CALL " + id + " STATUS RINGING"});
    }

    SipLink link{*this};
    std::vector<std::string> notes, commands, logs;
    size_t notesTaken = 0;
    std::string token;
    bool inFlight = false;
};

TEST_F(Link, AnIncomingCallIsRungAnsweredToldInDigitsAndEndedByTheFarEnd) {
    Connect();
    IncomingFromAlice();
    link.Command("GET CALL 1 PARTNER_HANDLE");
    link.Command("set call 1 status inprogress");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 1 PARTNER_HANDLE alice"});
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind in1", "accept"}));
    Event("CALL_ESTABLISHED", "in1", "incoming", "sip:alice@127.0.0.1:5060");
    Event("CALL_RTCP", "in1", "incoming", "sip:alice@127.0.0.1:5060");
    link.Command("SET CALL 1 DTMF 5");
    link.Command("SET CALL 1 DTMF #");
    EXPECT_EQ(ReplyAll(),
              (std::vector<std::string>{"callfind in1", "sndcode 5", "callfind in1", "sndcode #"}));
    Event("CALL_CLOSED", "in1", "incoming", "sip:alice@127.0.0.1:5060", "Connection reset by peer");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 STATUS INPROGRESS", "CALL 1 STATUS FINISHED"}));
    EXPECT_TRUE(link.Calls().empty());
}

TEST_F(Link, HowAnIncomingCallEndsDecidesWhatTheProgramIsTold) {
    Connect();
    IncomingFromAlice("a");
    Event("CALL_CLOSED", "a", "incoming", "sip:alice@127.0.0.1:5060", "Connection reset by peer");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 1 STATUS MISSED"}) << "the far end gave up";

    Event("CALL_INCOMING", "b", "incoming", "sip:dave@10.0.0.9");
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind b", "hangup"}));
    Event("CALL_CLOSED", "b", "incoming", "sip:dave@10.0.0.9", "Connection reset by user");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 2 STATUS RINGING", "CALL 2 STATUS FINISHED"}))
        << "refused by the handset";
    link.Command("GET CALL 2 PARTNER_HANDLE");
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 2 PARTNER_HANDLE dave", "CALL 2 STATUS FINISHED"}))
        << "a late command for the call that just ended";
    EXPECT_TRUE(ReplyAll().empty());
}

TEST_F(Link, ASecondCallerHearsBusyWhileACallIsUp) {
    Connect();
    IncomingFromAlice("first");
    Event("CALL_INCOMING", "second", "incoming", "sip:bob@127.0.0.1:5080");
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind second", "hangup"}));
    Event("CALL_CLOSED", "second", "incoming", "sip:bob@127.0.0.1:5080", "Connection reset by user");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{}) << "the program heard of the second call";
    ASSERT_EQ(link.Calls().size(), 1u);
    EXPECT_EQ(link.Calls()[0].agentId, "first");
    link.Command("CALL bob");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 2 STATUS ROUTING", "CALL 2 STATUS FAILED"}))
        << "a call dialled while the line is busy";
    EXPECT_TRUE(ReplyAll().empty());
}

TEST_F(Link, ADialledCallTakesTheAgentsIdFromItsFirstEvent) {
    Connect();
    link.Command("CALL alice");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 1 STATUS ROUTING"});
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial sip:alice@127.0.0.1:5060"})
        << "a contact dials its address";
    link.Command("GET CALL 1 PARTNER_HANDLE");
    Event("CALL_LOCAL_SDP", "", "outgoing", "sip:alice@127.0.0.1:5060;transport=udp", "offer");
    Event("CALL_RINGING", "out1", "outgoing", "sip:alice@127.0.0.1:5060;transport=udp");
    Event("CALL_PROGRESS", "out1", "outgoing", "sip:alice@127.0.0.1:5060;transport=udp");
    Event("CALL_ESTABLISHED", "out1", "outgoing", "sip:alice@127.0.0.1:5060;transport=udp");
    link.Command("SET CALL 1 STATUS FINISHED");
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind out1", "hangup"}));
    Event("CALL_CLOSED", "out1", "outgoing", "sip:alice@127.0.0.1:5060;transport=udp",
          "Connection reset by user");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 PARTNER_HANDLE alice", "CALL 1 STATUS RINGING",
                                                    "CALL 1 STATUS INPROGRESS", "CALL 1 STATUS FINISHED"}));

    // A number is dialled as typed; the agent completes it.
    link.Command("CALL 00442071234567");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial 00442071234567"});
    link.Command("GET CALL 2 PARTNER_HANDLE");
    EXPECT_EQ(NewNotes(),
              (std::vector<std::string>{"CALL 2 STATUS ROUTING", "CALL 2 PARTNER_HANDLE 00442071234567"}));
}

TEST_F(Link, AHangUpBeforeTheAgentNamedTheCallGoesOnceItDoes) {
    Connect();
    link.Command("CALL sip:bob@127.0.0.1:5080");
    link.Command("SET CALL 1 STATUS FINISHED");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial sip:bob@127.0.0.1:5080"});
    Event("CALL_RINGING", "x", "outgoing", "sip:bob@127.0.0.1:5080");
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind x", "hangup"}));
    Event("CALL_CLOSED", "x", "outgoing", "sip:bob@127.0.0.1:5080", "Connection reset by user");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 STATUS ROUTING", "CALL 1 STATUS RINGING",
                                                    "CALL 1 STATUS FINISHED"}));
}

TEST_F(Link, ADialledCallThatFailsEndsWithTheReasonsStatus) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"486 Busy Here", "BUSY"},   {"486 Rejected", "BUSY"},           {"603 Decline", "REFUSED"},
        {"404 Not Found", "FAILED"}, {"Connection timed out", "FAILED"}, {"408 Request Timeout", "FAILED"}};
    Connect();
    int id = 1;
    for (const auto& [reason, status] : cases) {
        link.Command("CALL 123");
        ReplyAll();
        Event("CALL_CLOSED", "c" + std::to_string(id), "outgoing", "sip:123@127.0.0.1", reason);
        std::string call = "CALL " + std::to_string(id++);
        EXPECT_EQ(NewNotes(),
                  (std::vector<std::string>{call + " STATUS ROUTING", call + " STATUS " + status}))
            << reason;
    }
    // The agent refusing the dial itself.
    link.Command("CALL bad");
    ASSERT_EQ(commands.back(), "dial bad");
    Reply(false, "invalid uri");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 7 STATUS ROUTING", "CALL 7 STATUS FAILED"}));
}

TEST_F(Link, TheAgentGoneEndsTheCallsAndLogsTheUserOut) {
    Connect();
    IncomingFromAlice("talking");
    link.Command("SET CALL 1 STATUS INPROGRESS");
    ReplyAll();
    Event("CALL_ESTABLISHED", "talking", "incoming", "sip:alice@127.0.0.1:5060");
    link.Command("SET CALL 1 DTMF 1");
    ASSERT_TRUE(link.AwaitingReply());
    link.AgentLost();
    inFlight = false;
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 STATUS INPROGRESS", "CALL 1 STATUS FINISHED",
                                                    "USERSTATUS LOGGEDOUT"}));
    EXPECT_FALSE(link.AwaitingReply());
    link.AgentLost();
    EXPECT_TRUE(NewNotes().empty()) << "a second loss told again";

    // Back on a new connection, the lost call is hung up at the agent, if the agent still has it; commands
    // of the old connection are not sent.
    link.AgentConnected();
    ASSERT_EQ(commands.back(), "contacts");
    Reply(true, ContactText);
    ASSERT_EQ(commands.back(), "callfind talking");
    Reply(true, "setting current call: talking\n");
    ASSERT_EQ(commands.back(), "hangup");
    Reply();
    notesTaken = notes.size();
    IncomingFromAlice("ringing", "2");
    link.AgentLost();
    inFlight = false;
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 2 STATUS MISSED", "USERSTATUS LOGGEDOUT"}))
        << "a ringing call must stop the handset's ring";
    // A restarted agent does not know the call: nothing is hung up.
    link.AgentConnected();
    ASSERT_EQ(commands.back(), "contacts");
    Reply(true, ContactText);
    ASSERT_EQ(commands.back(), "callfind ringing");
    Reply(false, "command not found (callfind)\n");
    EXPECT_FALSE(inFlight) << commands.back();
    link.AgentLost();
    link.AgentConnected();
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"contacts"}) << "a call hung up twice";
}

TEST_F(Link, ContactsAndTheirPresenceComeFromTheAgent) {
    link.AgentConnected();
    link.Command("SEARCH FRIENDS");
    link.Command("GET USER Carol_Smith ONLINESTATUS");
    EXPECT_TRUE(NewNotes().empty()) << "answered before the agent's list came";
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"contacts"});
    EXPECT_EQ(NewNotes(),
              (std::vector<std::string>{"USERS alice, Carol_Smith", "USER Carol_Smith ONLINESTATUS DND"}));
    link.Command("get user nobody onlinestatus");
    link.Command("GET USER ALICE ONLINESTATUS");
    link.Command("GET USERSTATUS");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER nobody ONLINESTATUS UNKNOWN",
                                                    "USER ALICE ONLINESTATUS ONLINE", "USERSTATUS ONLINE"}));

    // Polls report changes only, and only of contacts the program asked about.
    link.PollPresence();
    ReplyAll();
    EXPECT_TRUE(NewNotes().empty());
    link.PollPresence();
    link.PollPresence();
    ASSERT_EQ(commands.back(), "contacts");
    Reply(true, "  \x1b[31mOffline\x1b[;m alice <sip:alice@127.0.0.1:5060>\n  Online Carol Smith "
                "<sip:carol@127.0.0.1:5100>");
    EXPECT_FALSE(inFlight) << "a poll asked twice while one was on its way";
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER Carol_Smith ONLINESTATUS ONLINE",
                                                    "USER ALICE ONLINESTATUS OFFLINE"}));

    // An agent without a contact list still answers.
    link.AgentConnected();
    link.Command("SEARCH FRIENDS");
    Reply(false, "command not found (contacts)\n");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER Carol_Smith ONLINESTATUS UNKNOWN",
                                                    "USER ALICE ONLINESTATUS UNKNOWN", "USERS"}));
}

TEST_F(Link, EveryCommandIsAnsweredAndNoneBreaksTheLink) {
    Connect();
    IncomingFromAlice();
    for (const char* command :
         {"", "   ", "CALL", "CALL a b", "PING", "SET CALL 1 STATUS", "SET CALL 1 FOO BAR", "GET CALL 1",
          "SEARCH", "GET USER", "SET CALL 9 STATUS FINISHED", "GET CALL 9 PARTNER_HANDLE",
          "SET CALL 1 DTMF 55", "SET CALL 1 DTMF 5", "SET CALL 1 STATUS HOLD"})
        link.Command(command);
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{
                              "ERROR 2 Unknown command", "ERROR 2 Unknown command", "ERROR 2 Unknown command",
                              "ERROR 2 Unknown command", "ERROR 2 Unknown command", "ERROR 2 Unknown command",
                              "ERROR 2 Unknown command", "ERROR 2 Unknown command", "ERROR 2 Unknown command",
                              "ERROR 2 Unknown command", "ERROR 11 Invalid call id",
                              "ERROR 11 Invalid call id", "ERROR 12 Invalid call property",
                              "ERROR 12 Invalid call property", "ERROR 12 Invalid call property"}))
        << "a tone before the answer, or a status the link cannot set";
    EXPECT_TRUE(ReplyAll().empty());
    EXPECT_EQ(link.Calls().size(), 1u);
}

TEST_F(Link, BadAgentMessagesAreLoggedAndSkipped) {
    Connect();
    link.Command("SEARCH FRIENDS"); // the list is known: no command
    link.Command("CALL alice");
    ASSERT_TRUE(inFlight);
    Raw("12:{\"event\":tr},x:5:{\"a\"},");
    Agent("{\"response\":true,\"ok\":true,\"token\":\"nobody\"}");
    Agent("{\"event\":true,\"type\":\"CALL_RINGING\",\"id\":\"zzz\",\"direction\":\"incoming\"}");
    Agent("{\"event\":true,\"type\":\"CALL_INCOMING\",\"direction\":\"incoming\"}");
    EXPECT_GE(logs.size(), 3u) << Join(logs);
    for (const std::string& line : logs)
        EXPECT_EQ(line.rfind("SKIP", 0), 0u) << line;
    EXPECT_TRUE(link.AwaitingReply()) << "a reply to another token was taken for the dial's";
    Reply();
    Event("CALL_RINGING", "d1", "outgoing", "sip:alice@127.0.0.1:5060");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USERS alice, Carol_Smith", "CALL 1 STATUS ROUTING",
                                                    "CALL 1 STATUS RINGING"}));
}

} // namespace
