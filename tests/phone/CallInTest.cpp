// Calls that come in through the provider: from Debian's baresip as user 42 (answered, hung up by the
// caller, given up before the answer, keys heard), a second caller while one is up (486), a caller whose
// offer has no codec of ours (488).
#include "tests/phone/PhoneDesk.h"

namespace {

using phone::CallEnd;
using phone::Event;
using phonetest::AtProvider;
using phonetest::Port;
using phonetest::Wait;

class CallingIn : public phonetest::PhoneDesk {
  protected:
    void SetUp() override {
        PhoneDesk::SetUp();
        RegisterAlice();
        StartFarAgent();
    }
    // Baresip calls alice; the phone rings.
    phone::CallId Ringing(Event* incoming = nullptr) {
        EXPECT_TRUE(farEnd.Command("dial", AtProvider("alice")));
        Event rang;
        EXPECT_TRUE(WaitForCall(Event::Kind::Incoming, 0, &rang)) << ShowEvents();
        if (incoming)
            *incoming = rang;
        return rang.call;
    }
    phone::CallId Talking() {
        phone::CallId call = Ringing();
        phone->Answer(call);
        EXPECT_TRUE(WaitForCall(Event::Kind::Established, call)) << ShowEvents();
        EXPECT_TRUE(farEnd.WaitForEvent("CALL_ESTABLISHED", Wait));
        return call;
    }
};

TEST_F(CallingIn, RingsWithTheCallerAndIsAnsweredHeardBothWaysAndHungUpThere) {
    Event incoming;
    phone::CallId call = Ringing(&incoming);
    EXPECT_NE(call, 0u);
    EXPECT_EQ(incoming.peerName, "Far Forty-Two");
    EXPECT_NE(incoming.peerUri.find("sip:42@"), std::string::npos) << incoming.peerUri;
    phone->Answer(call);
    ASSERT_TRUE(WaitForCall(Event::Kind::Established, call)) << ShowEvents();
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_ESTABLISHED", Wait));
    EXPECT_TRUE(farEnd.WaitForEvent("CALL_RTPESTAB", Wait)) << "the phone's sound did not reach the caller";
    ASSERT_TRUE(farEnd.Command("hangup"));
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed)) << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::HungUpThere);
    EXPECT_GT(closed.packetsReceived, 0u) << "the caller's sound did not reach the phone";
}

TEST_F(CallingIn, ACallerWhoGivesUpIsAMissedCall) {
    phone::CallId call = Ringing();
    ASSERT_TRUE(farEnd.Command("hangup"));
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed)) << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::CallerGaveUp);
}

TEST_F(CallingIn, TurnedAwayHereTheCallerHearsBusy) {
    phone::CallId call = Ringing();
    phone->Hangup(call);
    AgentMessage ended;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_CLOSED", Wait, &ended));
    EXPECT_NE(ended.param.find("486"), std::string::npos) << ended.param;
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed)) << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::HungUpHere);
}

TEST_F(CallingIn, TheCallerHearsTheKeys) {
    phone::CallId call = Talking();
    phone->SendDigit(call, '7');
    AgentMessage key;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_DTMF_START", Wait, &key)) << "the caller heard no key";
    EXPECT_EQ(key.param, "7");
    phone->Hangup(call);
    EXPECT_TRUE(farEnd.WaitForEvent("CALL_CLOSED", Wait));
}

TEST_F(CallingIn, ASecondCallerWhileOneIsUpGetsBusyAndTheFirstGoesOn) {
    phone::CallId call = Talking();
    phonetest::Sipp second;
    ASSERT_TRUE(second.StartRegistered("uac_auth.xml", {"127.0.0.1:" + std::to_string(Port.provider), "-s",
                                                        "alice", "-au", "7477", "-ap", "7477pw"}));
    EXPECT_EQ(second.Result(), 0) << "the second caller was not refused: " << second.Output();
    Event turnedAway;
    ASSERT_TRUE(
        WaitForEvent([&](const Event& event) { return event.kind == Event::Kind::Closed; }, &turnedAway))
        << ShowEvents();
    EXPECT_NE(turnedAway.call, call);
    EXPECT_EQ(turnedAway.end, CallEnd::LineBusy);
    EXPECT_NE(turnedAway.peerUri.find("7477"), std::string::npos);
    phone->Hangup(call);
    Event closed;
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed)) << ShowEvents();
    EXPECT_EQ(closed.end, CallEnd::HungUpHere) << "the first call did not go on";
}

TEST_F(CallingIn, ACallerWithNoCodecOfOursGets488AndNeverRings) {
    const std::string offer = "v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\n"
                              "m=audio [media_port] RTP/AVP 18\\na=rtpmap:18 G729/8000";
    phonetest::Sipp caller;
    ASSERT_TRUE(caller.StartRegistered("uac_broken.xml",
                                       {"-set", "contact", "<sip:7477@[local_ip]:[local_port]>", "-set",
                                        "body", offer, "127.0.0.1:" + std::to_string(Port.provider), "-s",
                                        "alice", "-au", "7477", "-ap", "7477pw"}));
    EXPECT_EQ(caller.Result(), 0) << "the call was not refused: " << caller.Output();
    Event refused;
    ASSERT_TRUE(WaitForEvent([&](const Event& event) { return event.kind == Event::Kind::Closed; }, &refused))
        << ShowEvents();
    EXPECT_EQ(refused.end, CallEnd::NoCommonCodec);
    for (const Event& event : events)
        EXPECT_NE(event.kind, Event::Kind::Incoming) << "the handset rang for a call it could not hear";
}

TEST_F(CallingIn, ARegistrationAskedInACallWaitsForItsEnd) {
    phone::CallId call = Talking();
    // A new registration starts on a new SIP socket: asked in a call, it must not cut the call off.
    phone->Register();
    EXPECT_FALSE(WaitForRegistration(Event::RegState::Registering, nullptr, 1000)) << ShowEvents();
    ASSERT_TRUE(farEnd.Command("hangup"));
    ASSERT_TRUE(WaitForCall(Event::Kind::Closed, call)) << ShowEvents();
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registering)) << ShowEvents();
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registered)) << ShowEvents();
}

} // namespace
