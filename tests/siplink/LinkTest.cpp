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
    bool Notify(const std::string& text) override {
        if (attached)
            notes.push_back(text);
        return attached;
    }
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
        while (inFlight) {
            const std::string& last = commands.back();
            Reply(true, last == "contacts"                ? ContactText
                        : last.rfind("callfind ", 0) == 0 ? "setting current call: " + last.substr(9) + "\n"
                                                          : "");
        }
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
    bool attached = true; // a program takes the notifications
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
    EXPECT_TRUE(link.ProgramCalls().empty());
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
    ASSERT_EQ(link.ProgramCalls().size(), 1u);
    EXPECT_EQ(link.ProgramCalls()[0].agentId, "first");
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

TEST_F(Link, AHangUpWhileTheDialIsOnItsWayEndsTheCallAtOnceAndHangsItUpOnceDialled) {
    Connect();
    link.Command("CALL sip:bob@127.0.0.1:5080");
    link.Command("SET CALL 1 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 STATUS ROUTING", "CALL 1 STATUS FINISHED"}));
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"dial sip:bob@127.0.0.1:5080", "hangup"}))
        << "the dialled call is the agent's current one as soon as its dial is answered";
    Event("CALL_RINGING", "x", "outgoing", "sip:bob@127.0.0.1:5080");
    Event("CALL_CLOSED", "x", "outgoing", "sip:bob@127.0.0.1:5080", "Connection reset by user");
    EXPECT_TRUE(ReplyAll().empty()) << "hung up twice";
    EXPECT_TRUE(NewNotes().empty());

    // A dial still waiting behind another command never goes.
    link.PollPresence();
    link.Command("CALL 42");
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"contacts"});
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 2 STATUS ROUTING", "CALL 2 STATUS FINISHED"}));
}

TEST_F(Link, TheEndKeyEndsADialledCallTheAgentHasNotNamedAtOnceAndTheLineIsFreeAgain) {
    Connect();
    link.Command("CALL 42");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial 42"});
    // The provider never answers: the agent says nothing more about the call.
    link.Command("SET CALL 1 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 STATUS ROUTING", "CALL 1 STATUS FINISHED"}));
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"hangup"});
    EXPECT_TRUE(link.ProgramCalls().empty());

    link.Command("CALL 42");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 2 STATUS ROUTING"}) << "the line stayed blocked";
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial 42"});
    // The first call's close names it: it is not taken for the second.
    Event("CALL_CLOSED", "first", "outgoing", "sip:42@127.0.0.1", "Connection reset by user");
    Event("CALL_RINGING", "second", "outgoing", "sip:42@127.0.0.1");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 2 STATUS RINGING"});
    ASSERT_EQ(link.ProgramCalls().size(), 1u);
    EXPECT_EQ(link.ProgramCalls()[0].agentId, "second");

    // A caller turned away meanwhile made another call the agent's current one: the bare hangup would
    // reach that one, so the dialled call is hung up once the agent names it.
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind second", "hangup"}));
    Event("CALL_CLOSED", "second", "outgoing", "sip:42@127.0.0.1", "Connection reset by user");
    link.Command("CALL 43");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial 43"});
    Event("CALL_INCOMING", "caller", "incoming", "sip:dave@10.0.0.9");
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind caller", "hangup"}));
    link.Command("SET CALL 3 STATUS FINISHED");
    EXPECT_TRUE(ReplyAll().empty()) << "a bare hangup while another call may be current";
    Event("CALL_RINGING", "third", "outgoing", "sip:43@127.0.0.1");
    EXPECT_EQ(ReplyAll(), (std::vector<std::string>{"callfind third", "hangup"}));
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 2 STATUS FINISHED", "CALL 3 STATUS ROUTING",
                                                    "CALL 3 STATUS FINISHED"}));
}

TEST_F(Link, ADialledCallIsNamedOnlyByAnEventFromWhereTheAgentPlacedIt) {
    Connect();
    link.Command("CALL 42");
    ASSERT_EQ(commands.back(), "dial 42");
    Event("CALL_LOCAL_SDP", "", "outgoing", "sip:42@127.0.0.1:5060;transport=udp", "offer");
    Reply();
    Event("CALL_RINGING", "elsewhere", "outgoing", "sip:99@127.0.0.1:5060");
    Event("CALL_RTCP", "talking", "outgoing", "sip:42@127.0.0.1:5060");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 1 STATUS ROUTING"})
        << "another call's event was taken";
    Event("CALL_RINGING", "ours", "outgoing", "sip:42@127.0.0.1:5060");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 1 STATUS RINGING"});
    EXPECT_EQ(link.ProgramCalls()[0].agentId, "ours");
}

TEST_F(Link, ACommandForACallTheAgentNoLongerKnowsIsNotSent) {
    Connect();
    IncomingFromAlice("in1");
    link.Command("SET CALL 1 STATUS INPROGRESS");
    ASSERT_EQ(commands.back(), "callfind in1");
    Reply(true, "call not found (id=in1)\n");
    EXPECT_FALSE(inFlight) << "sent anyway: " << commands.back();
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 1 STATUS MISSED"}) << "the call is gone";

    IncomingFromAlice("in2", "2");
    link.Command("SET CALL 2 STATUS INPROGRESS");
    ReplyAll();
    Event("CALL_ESTABLISHED", "in2", "incoming", "sip:alice@127.0.0.1:5060");
    link.Command("SET CALL 2 DTMF 7");
    ASSERT_EQ(commands.back(), "callfind in2");
    Reply(false, "command not found (callfind)\n"); // the agent has no call at all
    EXPECT_FALSE(inFlight) << "sent anyway: " << commands.back();
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 2 STATUS INPROGRESS", "CALL 2 STATUS FINISHED",
                                                    "CALL 2 STATUS FINISHED"}));
    EXPECT_TRUE(ReplyAll().empty());
}

TEST_F(Link, AnOrphanedCallsHangUpFollowsItsCallfindBeforeAnythingElse) {
    Connect();
    link.Command("CALL 42");
    ReplyAll();
    Event("CALL_ESTABLISHED", "old", "outgoing", "sip:42@127.0.0.1");
    link.AgentLost();
    inFlight = false;
    link.AgentConnected();
    ASSERT_EQ(commands.back(), "contacts");
    // A caller arrives and is answered while the orphan's hang-up waits.
    Event("CALL_INCOMING", "new", "incoming", "sip:bob@127.0.0.1:5080");
    link.Command("SET CALL 2 STATUS INPROGRESS");
    EXPECT_EQ(ReplyAll(),
              (std::vector<std::string>{"contacts", "callfind old", "hangup", "callfind new", "accept"}));
    // The orphan's close is not taken for a new dialled call's.
    Event("CALL_CLOSED", "new", "incoming", "sip:bob@127.0.0.1:5080", "Connection reset by peer");
    link.Command("CALL 43");
    ReplyAll();
    Event("CALL_CLOSED", "old", "outgoing", "sip:42@127.0.0.1", "Connection reset by user");
    Event("CALL_RTCP", "stranger", "outgoing", "sip:43@127.0.0.1");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 STATUS ROUTING", "CALL 1 STATUS INPROGRESS",
                                                    "CALL 1 STATUS FINISHED", "USERSTATUS LOGGEDOUT",
                                                    "CALL 2 STATUS RINGING", "CALL 2 STATUS MISSED",
                                                    "CALL 3 STATUS ROUTING"}));
    ASSERT_EQ(link.ProgramCalls().size(), 1u);
    EXPECT_EQ(link.ProgramCalls()[0].agentId, "");
    Event("CALL_RINGING", "dialled", "outgoing", "sip:43@127.0.0.1");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"CALL 3 STATUS RINGING"});
}

TEST_F(Link, ANumberTypedIsDialledAsANumberEvenWhenAContactHasThatName) {
    link.AgentConnected();
    ASSERT_EQ(commands.back(), "contacts");
    Reply(true, "  Online 42 <sip:bob@127.0.0.1:5080>\n  Online Carol Smith <sip:carol@127.0.0.1:5100>\n");
    link.Command("SEARCH FRIENDS");
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"USERS 42_sip, carol_smith"});
    link.Command("CALL 42");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial 42"});
    link.Command("GET CALL 1 PARTNER_HANDLE");
    Event("CALL_CLOSED", "a", "outgoing", "sip:42@127.0.0.1", "404 Not Found");
    link.Command("CALL 42_sip");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial sip:bob@127.0.0.1:5080"});
    Event("CALL_CLOSED", "b", "outgoing", "sip:bob@127.0.0.1:5080", "404 Not Found");
    link.Command("CALL carol_smith");
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"dial sip:carol@127.0.0.1:5100"});
    link.Command("GET CALL 3 PARTNER_HANDLE");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 1 STATUS ROUTING", "CALL 1 PARTNER_HANDLE 42",
                                                    "CALL 1 STATUS FAILED", "CALL 2 STATUS ROUTING",
                                                    "CALL 2 STATUS FAILED", "CALL 3 STATUS ROUTING",
                                                    "CALL 3 PARTNER_HANDLE Carol_Smith"}));
}

TEST_F(Link, ACallerIsShownByTheDisplayNameTheContactOrTheUnescapedUserPart) {
    Connect();
    Agent("{\"event\":true,\"type\":\"CALL_INCOMING\",\"direction\":\"incoming\",\"id\":\"a\","
          "\"peeruri\":\"sip:carol@127.0.0.1:5100\",\"peerdisplayname\":\"J\xc3\xbcrgen M\xfcller\"}");
    link.Command("GET CALL 1 PARTNER_HANDLE");
    Event("CALL_CLOSED", "a", "incoming", "sip:carol@127.0.0.1:5100", "Connection reset by peer");
    Event("CALL_INCOMING", "b", "incoming", "sip:carol@127.0.0.1:5100");
    link.Command("GET CALL 2 PARTNER_HANDLE");
    Event("CALL_CLOSED", "b", "incoming", "sip:carol@127.0.0.1:5100", "Connection reset by peer");
    Event("CALL_INCOMING", "c", "incoming", "sip:j%C3%BCrgen@10.0.0.9:5060;transport=udp");
    link.Command("GET CALL 3 PARTNER_HANDLE");
    EXPECT_EQ(NewNotes(),
              (std::vector<std::string>{"CALL 1 STATUS RINGING", "CALL 1 PARTNER_HANDLE J\xc3\xbcrgen_M?ller",
                                        "CALL 1 STATUS MISSED", "CALL 2 STATUS RINGING",
                                        "CALL 2 PARTNER_HANDLE Carol_Smith", "CALL 2 STATUS MISSED",
                                        "CALL 3 STATUS RINGING", "CALL 3 PARTNER_HANDLE j\xc3\xbcrgen"}));
}

TEST_F(Link, EveryAttachedProgramLearnsEveryContactsCurrentStatus) {
    attached = false;
    Connect();
    attached = true;
    link.ClientAttached();
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER alice ONLINESTATUS ONLINE",
                                                    "USER carol_smith ONLINESTATUS DND"}));

    // The agent restarts; alice has gone meanwhile. The first list comes before the program is back.
    attached = false;
    link.AgentLost();
    link.AgentConnected();
    ASSERT_EQ(commands.back(), "contacts");
    Reply(true,
          "  Offline alice <sip:alice@127.0.0.1:5060>\n  Busy Carol Smith <sip:carol@127.0.0.1:5100>\n");
    link.PollPresence();
    Reply(true,
          "  Offline alice <sip:alice@127.0.0.1:5060>\n  Busy Carol Smith <sip:carol@127.0.0.1:5100>\n");
    attached = true;
    link.ClientAttached();
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER alice ONLINESTATUS OFFLINE",
                                                    "USER carol_smith ONLINESTATUS DND"}));

    // Attached before the list came: told once it comes.
    link.AgentLost();
    link.AgentConnected();
    link.ClientAttached();
    EXPECT_EQ(NewNotes(), std::vector<std::string>{"USERSTATUS LOGGEDOUT"});
    Reply(true, ContactText);
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER alice ONLINESTATUS ONLINE",
                                                    "USER carol_smith ONLINESTATUS DND"}));
}

TEST_F(Link, ADialledCallThatFailsEndsWithTheReasonsStatusAndTheLogSaysWhyInPlainWords) {
    struct Case {
        std::string reason, status, words;
    };
    const std::vector<Case> cases{
        {"486 Busy Here", "BUSY", "the far end or the provider answered 486 Busy Here"},
        {"486 Rejected", "BUSY", "the far end or the provider answered 486 Rejected"},
        {"603 Decline", "REFUSED", "the far end or the provider answered 603 Decline"},
        {"404 Not Found", "FAILED", "the far end or the provider answered 404 Not Found"},
        {"Connection timed out", "FAILED", "no answer to the call's SIP in time (Connection timed out)"},
        {"408 Request Timeout", "FAILED", "no answer to the call's SIP in time (408 Request Timeout)"},
        {"Bad message", "FAILED", "the far end's SIP could not be read (Bad message)"},
        {"", "FAILED", "the agent gave no reason"}};
    Connect();
    int id = 1;
    for (const Case& end : cases) {
        link.Command("CALL 123");
        ReplyAll();
        logs.clear();
        Event("CALL_CLOSED", "c" + std::to_string(id), "outgoing", "sip:123@127.0.0.1", end.reason);
        std::string call = "CALL " + std::to_string(id);
        EXPECT_EQ(NewNotes(),
                  (std::vector<std::string>{call + " STATUS ROUTING", call + " STATUS " + end.status}))
            << end.reason;
        EXPECT_EQ(logs, std::vector<std::string>{"CALL-END " + std::to_string(id++) + " " + end.status +
                                                 ": " + end.words});
    }
    // The agent refusing the dial itself.
    link.Command("CALL bad");
    ASSERT_EQ(commands.back(), "dial bad");
    Reply(false, "invalid uri");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"CALL 9 STATUS ROUTING", "CALL 9 STATUS FAILED"}));
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
    link.Command("GET USER carol_smith ONLINESTATUS");
    EXPECT_TRUE(NewNotes().empty()) << "answered before the agent's list came";
    EXPECT_EQ(ReplyAll(), std::vector<std::string>{"contacts"});
    EXPECT_EQ(NewNotes(),
              (std::vector<std::string>{"USERS alice, carol_smith", "USER carol_smith ONLINESTATUS DND"}));
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
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER carol_smith ONLINESTATUS ONLINE",
                                                    "USER ALICE ONLINESTATUS OFFLINE"}));

    // An agent without a contact list still answers.
    link.AgentConnected();
    link.Command("SEARCH FRIENDS");
    Reply(false, "command not found (contacts)\n");
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USER carol_smith ONLINESTATUS UNKNOWN",
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
    EXPECT_EQ(link.ProgramCalls().size(), 1u);
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
    EXPECT_EQ(NewNotes(), (std::vector<std::string>{"USERS alice, carol_smith", "CALL 1 STATUS ROUTING",
                                                    "CALL 1 STATUS RINGING"}));
}

} // namespace
