// The link's rules, driven in process with a fake phone: the program's commands and the phone's events go
// in; the notifications and what the phone is asked come out, checked in order.
#include <gtest/gtest.h>

#include "siplink/SipLink.h"
#include "tests/siplink/FakePhone.h"

namespace {

using End = phone::CallEnd;
using Presence = phone::Event::PresenceState;
using Texts = std::vector<std::string>;

class Link : public ::testing::Test, public LinkOutput {
  protected:
    void SetUp() override {
        link.SetContacts(ParseContactsFile("\"alice\" <sip:alice@127.0.0.1:5060>\n"
                                           "\"Carol Smith\" <sip:carol@127.0.0.1:5100>;presence=p2p\n"));
        phone.Asked();
        link.ClientAttached();
        NewNotes();
    }
    bool Notify(const std::string& text) override {
        if (attached)
            notes.push_back(text);
        return attached;
    }
    void Log(const std::string& tag, const std::string& text) override { logs.push_back(tag + " " + text); }

    Texts NewNotes() {
        Texts fresh(notes.begin() + static_cast<long>(notesTaken), notes.end());
        notesTaken = notes.size();
        return fresh;
    }
    void Event(const phone::Event& event) { link.OnPhoneEvent(event); }
    // A call from alice rings through with the program's id.
    void IncomingFromAlice(phone::CallId call, unsigned id) {
        Event(FakePhone::Incoming(call, "sip:alice@127.0.0.1:5060;transport=udp", "Alice A."));
        ASSERT_EQ(NewNotes(), Texts{"CALL " + std::to_string(id) + " STATUS RINGING"});
    }
    // The program dials; answers the phone's id of the call.
    phone::CallId Dial(const std::string& target, unsigned id) {
        link.Command("CALL " + target);
        EXPECT_EQ(NewNotes(), Texts{"CALL " + std::to_string(id) + " STATUS ROUTING"});
        return phone.LastDialled();
    }

    FakePhone phone;
    SipLink link{phone, *this};
    Texts notes, logs;
    size_t notesTaken = 0;
    bool attached = true; // a program takes the notifications
};

TEST_F(Link, ACallComingInRingsIsAnsweredTakesTonesAndEndsWhenTheFarEndHangsUp) {
    IncomingFromAlice(7, 1);
    link.Command("GET CALL 1 PARTNER_HANDLE");
    link.Command("GET CALL 1 PARTNER_DISPNAME");
    link.Command("set call 1 status inprogress");
    EXPECT_EQ(NewNotes(), (Texts{"CALL 1 PARTNER_HANDLE alice", "CALL 1 PARTNER_DISPNAME Alice_A."}));
    EXPECT_EQ(phone.Asked(), Texts{"answer 7"});
    EXPECT_TRUE(link.InCall());
    link.Command("SET CALL 1 DTMF 5");
    EXPECT_EQ(NewNotes(), Texts{"ERROR 12 Invalid call property"}) << "a tone before the call is up";
    Event(FakePhone::Established(7));
    link.Command("SET CALL 1 DTMF 5");
    link.Command("SET CALL 1 DTMF #");
    EXPECT_EQ(phone.Asked(), (Texts{"digit 7 5", "digit 7 #"}));
    Event(FakePhone::Closed(7, End::HungUpThere));
    EXPECT_EQ(NewNotes(), (Texts{"CALL 1 STATUS INPROGRESS", "CALL 1 STATUS FINISHED"}));
    EXPECT_FALSE(link.InCall());
    EXPECT_TRUE(phone.Asked().empty()) << "the phone was asked about a call it ended";
}

TEST_F(Link, HowACallComingInEndsDecidesWhatTheProgramIsTold) {
    IncomingFromAlice(7, 1);
    Event(FakePhone::Closed(7, End::CallerGaveUp));
    EXPECT_EQ(NewNotes(), Texts{"CALL 1 STATUS MISSED"}) << "the caller gave up";

    Event(FakePhone::Incoming(8, "sip:dave@10.0.0.9"));
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), (Texts{"CALL 2 STATUS RINGING", "CALL 2 STATUS FINISHED"}))
        << "turned away on the handset";
    EXPECT_EQ(phone.Asked(), Texts{"hangup 8"});
    Event(FakePhone::Closed(8, End::HungUpHere));
    link.Command("GET CALL 2 PARTNER_HANDLE");
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), (Texts{"CALL 2 PARTNER_HANDLE sip:dave@10.0.0.9", "CALL 2 STATUS FINISHED"}))
        << "a late command about the call that just ended";
    EXPECT_TRUE(phone.Asked().empty());

    // Answered here, but the call never came up at the phone: the handset's ring must stop.
    IncomingFromAlice(9, 3);
    link.Command("SET CALL 3 STATUS INPROGRESS");
    Event(FakePhone::Closed(9, End::NoCommonCodec, 488, "Not Acceptable Here"));
    EXPECT_EQ(NewNotes(), Texts{"CALL 3 STATUS MISSED"});
}

TEST_F(Link, ADialledCallRingsIsAnsweredAndTheProgramsEndEndsItAtOnce) {
    phone::CallId call = Dial("alice", 1);
    EXPECT_EQ(phone.Asked(), Texts{"dial sip:alice@127.0.0.1:5060"}) << "a contact is dialled at its address";
    link.Command("GET CALL 1 PARTNER_HANDLE");
    link.Command("GET CALL 1 PARTNER_DISPNAME");
    link.Command("SET CALL 1 STATUS INPROGRESS");
    Event(FakePhone::Progress(call, true));
    Event(FakePhone::Progress(call));
    Event(FakePhone::Established(call));
    EXPECT_EQ(NewNotes(),
              (Texts{"CALL 1 PARTNER_HANDLE alice", "CALL 1 PARTNER_DISPNAME alice", "CALL 1 STATUS ROUTING",
                     "CALL 1 STATUS RINGING", "CALL 1 STATUS INPROGRESS"}));
    link.Command("SET CALL 1 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), Texts{"CALL 1 STATUS FINISHED"});
    EXPECT_EQ(phone.Asked(), Texts{"hangup " + std::to_string(call)});
    EXPECT_FALSE(link.InCall()) << "the line waits for the phone's word";
    Event(FakePhone::Closed(call, End::HungUpHere));
    EXPECT_TRUE(NewNotes().empty()) << "told the end twice";

    // The end key before the far end said anything: the line is free at once for the next number.
    phone::CallId second = Dial("00442071234567", 2);
    link.Command("SET CALL 2 STATUS FINISHED");
    EXPECT_EQ(NewNotes(), Texts{"CALL 2 STATUS FINISHED"});
    phone::CallId third = Dial("43", 3);
    EXPECT_EQ(phone.Asked(), (Texts{"dial 00442071234567", "hangup " + std::to_string(second), "dial 43"}));
    Event(FakePhone::Closed(second, End::HungUpHere));
    Event(FakePhone::Progress(third));
    EXPECT_EQ(NewNotes(), Texts{"CALL 3 STATUS RINGING"})
        << "the first call's end was taken for the second's";
    link.Command("GET CALL 2 PARTNER_HANDLE");
    EXPECT_EQ(NewNotes(), Texts{"CALL 2 PARTNER_HANDLE 00442071234567"});
}

TEST_F(Link, EachEndTheFarEndOrTheProviderGivesADialledCallHasItsStatus) {
    struct Case {
        End end;
        int code;
        const char* status;
    } cases[] = {{End::Busy, 486, "BUSY"},        {End::Declined, 603, "REFUSED"},
                 {End::NotFound, 404, "FAILED"},  {End::Unavailable, 480, "FAILED"},
                 {End::Refused, 500, "FAILED"},   {End::NoAnswer, 408, "FAILED"},
                 {End::Malformed, 0, "FAILED"},   {End::NoCommonCodec, 488, "FAILED"},
                 {End::HungUpThere, 0, "FAILED"}, {End::Stopped, 0, "FAILED"},
                 {End::Failed, 0, "FAILED"}};
    unsigned id = 1;
    for (const Case& c : cases) {
        phone::CallId call = Dial("42", id);
        Event(FakePhone::Progress(call));
        Event(FakePhone::Closed(call, c.end, c.code, "why"));
        EXPECT_EQ(NewNotes(), (Texts{"CALL " + std::to_string(id) + " STATUS RINGING",
                                     "CALL " + std::to_string(id) + " STATUS " + c.status}))
            << "end " << static_cast<int>(c.end);
        ++id;
    }
    // Whatever ends a call that was talking, the program releases the handset with FINISHED.
    phone::CallId call = Dial("42", id);
    Event(FakePhone::Established(call));
    Event(FakePhone::Closed(call, End::NoMedia));
    EXPECT_EQ(NewNotes(), (Texts{"CALL 12 STATUS INPROGRESS", "CALL 12 STATUS FINISHED"}));
    EXPECT_TRUE(std::any_of(logs.begin(), logs.end(), [](const std::string& line) {
        return line.find("CALL-STATE CALL 12 Talking -> Ended") == 0;
    })) << "the log does not say how the call went";
}

TEST_F(Link, OneCallHoldsTheLineAndTheProgramCountsOnlyTheCallsItSees) {
    IncomingFromAlice(7, 1);
    Event(FakePhone::Incoming(8, "sip:bob@127.0.0.1:5080"));
    EXPECT_EQ(phone.Asked(), Texts{"hangup 8"}) << "the second caller is not turned away";
    EXPECT_TRUE(NewNotes().empty()) << "the program heard of the second call";
    Event(FakePhone::Closed(8, End::HungUpHere));
    EXPECT_TRUE(NewNotes().empty()) << "the program heard of the second call's end";
    // A caller the phone turns away by itself is only logged.
    phone::Event turnedAway = FakePhone::Closed(9, End::LineBusy, 486, "Busy Here");
    turnedAway.peerUri = "sip:carol@127.0.0.1:5100";
    Event(turnedAway);
    EXPECT_TRUE(NewNotes().empty()) << "the program heard of a caller the phone turned away";
    EXPECT_EQ(logs.back(), "BUSY another call holds the line: busy for sip:carol@127.0.0.1:5100");

    link.Command("CALL bob");
    EXPECT_EQ(NewNotes(), (Texts{"CALL 2 STATUS ROUTING", "CALL 2 STATUS FAILED"}))
        << "a dial while the line is busy";
    EXPECT_TRUE(phone.Asked().empty()) << "dialled while the line was busy";
    Event(FakePhone::Closed(7, End::CallerGaveUp));
    EXPECT_EQ(NewNotes(), Texts{"CALL 1 STATUS MISSED"});
    link.Command("CALL bob");
    EXPECT_EQ(NewNotes(), Texts{"CALL 3 STATUS ROUTING"}) << "the ids go on from the last the program saw";
    ASSERT_EQ(link.Calls().back().id, 3u);
    EXPECT_EQ(link.Calls().back().phoneId, phone.LastDialled());
}

TEST_F(Link, ThePartnerIsAHandleThatDialsThemAgainAndANameToShow) {
    struct Case {
        const char* uri;
        const char* displayName;
        const char* handle;
        const char* name;
    } cases[] = {
        {"sip:carol@127.0.0.1:5100", "", "carol_smith", "Carol_Smith"},
        {"<sip:alice@127.0.0.1>", "Far End", "alice", "Far_End"},
        {"sip:%2B4930123456@provider.example;user=phone", "", "+4930123456", "+4930123456"},
        {"sip:4930123456@provider.example", "+19005550100", "4930123456", "+19005550100"},
        {"sip:alice@elsewhere.example", "Far End", "sip:alice@elsewhere.example", "Far_End"},
        {"sip:carol_smith@evil.example", "", "sip:carol_smith@evil.example", "carol_smith"},
        {"sip:anonymous@anonymous.invalid", "Anonymous", "anonymous", "Anonymous"},
        {"sip:J%C3%BCrgen@h\xC3\xB6st", "", "sip:J%C3%BCrgen@h\xC3\xB6st", "J\xC3\xBCrgen"},
    };
    unsigned id = 1;
    for (const Case& c : cases) {
        Event(FakePhone::Incoming(id + 10, c.uri, c.displayName));
        std::string call = std::to_string(id);
        link.Command("GET CALL " + call + " PARTNER_HANDLE");
        link.Command("GET CALL " + call + " PARTNER_DISPNAME");
        EXPECT_EQ(NewNotes(),
                  (Texts{"CALL " + call + " STATUS RINGING", "CALL " + call + " PARTNER_HANDLE " + c.handle,
                         "CALL " + call + " PARTNER_DISPNAME " + c.name}))
            << c.uri;
        Event(FakePhone::Closed(id + 10, End::CallerGaveUp));
        NewNotes();
        ++id;
    }
    // What the program dials back reaches the same party: the handle of a caller named like a contact is not
    // the contact's.
    link.Command("CALL sip:carol_smith@evil.example");
    EXPECT_EQ(phone.Asked(), Texts{"dial sip:carol_smith@evil.example"});
    link.Command("SET CALL 9 STATUS FINISHED");
    link.Command("CALL carol_smith");
    EXPECT_EQ(phone.Asked().back(), "dial sip:carol@127.0.0.1:5100");
}

TEST_F(Link, ANumberTypedIsDialledAsTypedEvenWhenAContactHasThatName) {
    link.SetContacts(ParseContactsFile("\"112\" <sip:emergency-desk@127.0.0.1>\n"));
    EXPECT_EQ(phone.Asked(), Texts{"watch sip:emergency-desk@127.0.0.1"});
    link.Command("SEARCH FRIENDS");
    EXPECT_EQ(NewNotes().back(), "USERS 112_sip");
    link.Command("CALL 112");
    EXPECT_EQ(phone.Asked(), Texts{"dial 112"});
    link.Command("SET CALL 1 STATUS FINISHED");
    link.Command("CALL 112_SIP");
    EXPECT_EQ(phone.Asked().back(), "dial sip:emergency-desk@127.0.0.1") << "a handle is found in any case";
}

TEST_F(Link, TheLineGoneEndsEveryCallForTheProgramAndAtThePhone) {
    phone::CallId call = Dial("alice", 1);
    Event(FakePhone::Established(call));
    NewNotes();
    phone.Asked();
    link.LineLost();
    EXPECT_EQ(NewNotes(), (Texts{"CALL 1 STATUS FINISHED", "USERSTATUS LOGGEDOUT"}));
    EXPECT_EQ(phone.Asked(), Texts{"hangup " + std::to_string(call)});
    EXPECT_FALSE(link.InCall());

    IncomingFromAlice(7, 2);
    link.LineLost();
    EXPECT_EQ(NewNotes(), (Texts{"CALL 2 STATUS MISSED", "USERSTATUS LOGGEDOUT"})) << "the ring must stop";
    EXPECT_EQ(phone.Asked(), Texts{"hangup 7"});
    // The phone's own end afterwards tells the program nothing more.
    Event(FakePhone::Closed(call, End::HungUpHere));
    Event(FakePhone::Closed(7, End::HungUpHere));
    EXPECT_TRUE(NewNotes().empty());
}

TEST_F(Link, TheProgramGoneInACallEndsItAtThePhoneAndFreesTheLine) {
    IncomingFromAlice(7, 1);
    link.Command("SET CALL 1 STATUS INPROGRESS");
    Event(FakePhone::Established(7));
    phone.Asked();
    attached = false;
    link.ClientGone();
    EXPECT_EQ(phone.Asked(), Texts{"hangup 7"}) << "nobody is there to talk";
    EXPECT_FALSE(link.InCall());
    link.ClientGone();
    EXPECT_TRUE(phone.Asked().empty()) << "ended twice";
    Event(FakePhone::Closed(7, End::HungUpHere));

    // With no program to ring it, a caller hears busy.
    Event(FakePhone::Incoming(8, "sip:alice@127.0.0.1:5060"));
    EXPECT_EQ(phone.Asked(), Texts{"hangup 8"}) << "a call rang with nobody to take it";

    attached = true;
    link.ClientAttached();
    NewNotes();
    IncomingFromAlice(9, 2);
}

TEST_F(Link, ContactsPresenceComesFromThePhoneAndEveryProgramLearnsIt) {
    link.SetContacts(ParseContactsFile("\"alice\" <sip:alice@127.0.0.1:5060>\n"
                                       "\"Carol Smith\" <sip:carol@127.0.0.1:5100>\n"));
    EXPECT_EQ(phone.Asked(), Texts{"watch sip:alice@127.0.0.1:5060,sip:carol@127.0.0.1:5100"});
    link.Command("SEARCH FRIENDS");
    link.Command("GET USER Carol_Smith ONLINESTATUS");
    link.Command("GET USER nobody ONLINESTATUS");
    EXPECT_EQ(NewNotes(), (Texts{"USERS alice, carol_smith", "USER Carol_Smith ONLINESTATUS UNKNOWN",
                                 "USER nobody ONLINESTATUS UNKNOWN"}));
    Event(FakePhone::Presence("sip:carol@127.0.0.1:5100;transport=udp", Presence::Busy));
    Event(FakePhone::Presence("sip:alice@127.0.0.1", Presence::Online));
    Event(FakePhone::Presence("sip:stranger@127.0.0.1", Presence::Online));
    EXPECT_EQ(NewNotes(), (Texts{"USER Carol_Smith ONLINESTATUS DND", "USER alice ONLINESTATUS ONLINE"}))
        << "a change the program asked about, and every contact's since it attached";
    Event(FakePhone::Presence("sip:carol@127.0.0.1:5100", Presence::Busy));
    EXPECT_TRUE(NewNotes().empty()) << "told again without a change";

    // A program attaching later learns every contact's presence; the file read again keeps it.
    link.ClientAttached();
    EXPECT_EQ(NewNotes(), (Texts{"USER alice ONLINESTATUS ONLINE", "USER carol_smith ONLINESTATUS DND"}));
    link.SetContacts(ParseContactsFile("\"Carol Smith\" <sip:carol@127.0.0.1:5100>\n"));
    EXPECT_EQ(NewNotes(), Texts{"USER alice ONLINESTATUS UNKNOWN"}) << "a contact gone is no longer online";
    attached = false;
    Event(FakePhone::Presence("sip:carol@127.0.0.1:5100", Presence::Offline));
    attached = true;
    link.ClientAttached();
    EXPECT_EQ(NewNotes(), Texts{"USER carol_smith ONLINESTATUS OFFLINE"})
        << "a change dropped for want of a program is told to the next";
}

TEST_F(Link, EveryCommandIsAnsweredAndNothingBreaksTheLink) {
    IncomingFromAlice(7, 1);
    for (const char* command :
         {"", "   ", "CALL", "CALL a b", "SET CALL 1 STATUS", "GET CALL 1 NOTHING", "SET CALL 1 DTMF xx",
          "SET CALL 1 DTMF 5", "SET CALL 1 STATUS RINGING", "SET CALL 1 COLOUR RED",
          "SET CALL 99 STATUS FINISHED", "SET CALL x STATUS FINISHED", "SET CALL 4294967297 STATUS FINISHED",
          "GET CALL -1 PARTNER_HANDLE", "GET CALL 0 PARTNER_HANDLE", "GET USER", "PING", "GET USERSTATUS"}) {
        size_t before = notes.size();
        link.Command(command);
        EXPECT_EQ(notes.size(), before + 1) << "not answered once: \"" << command << "\"";
    }
    EXPECT_EQ(NewNotes().back(), "USERSTATUS ONLINE");
    link.Command("SET CALL 1 STATUS INPROGRESS");
    link.Command("SET CALL 1 STATUS INPROGRESS");
    EXPECT_EQ(NewNotes(), Texts{"CALL 1 STATUS RINGING"}) << "answered twice";
    EXPECT_EQ(phone.Asked(), Texts{"answer 7"});
    // Events of calls the link does not know, or out of their order, change nothing.
    Event(FakePhone::Established(55));
    Event(FakePhone::Closed(56, End::HungUpThere));
    Event(FakePhone::Progress(7));
    EXPECT_TRUE(NewNotes().empty());
    EXPECT_TRUE(link.InCall());
}

} // namespace
