// Calls the phone places through the provider to a SIPp far end: answered and hung up either way,
// refused with each answer a provider gives, cancelled, with early media, and an answer with no codec of
// ours.
#include "tests/phone/PhoneDesk.h"

namespace {

using phone::CallEnd;
using phone::Event;
using phonetest::Port;
using phonetest::Wait;

// The far end's answer: PCMU and the given types on the test's media port.
std::string Answer(int port, const std::string& types = "0 101") {
    std::string body = "v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\nm=audio " +
                       std::to_string(port) + " RTP/AVP " + types;
    if (types.find("0") != std::string::npos)
        body += "\\na=rtpmap:0 PCMU/8000";
    if (types.find("18") != std::string::npos)
        body += "\\na=rtpmap:18 G729/8000";
    if (types.find("101") != std::string::npos)
        body += "\\na=rtpmap:101 telephone-event/8000\\na=fmtp:101 0-15";
    return body;
}

class CallingOut : public phonetest::PhoneDesk {
  protected:
    void SetUp() override {
        PhoneDesk::SetUp();
        RegisterAlice();
    }
    // SIPp plays the scenario as 7477; the phone dials it.
    phone::CallId DialSipp(const std::string& scenario, const std::vector<std::string>& arguments = {}) {
        EXPECT_TRUE(sipp.StartRegistered(scenario, arguments)) << sipp.Output();
        return phone->Dial("7477");
    }
    Event Closed(phone::CallId call, DWORD timeoutMs = Wait) {
        Event closed;
        EXPECT_TRUE(WaitForCall(Event::Kind::Closed, call, &closed, timeoutMs)) << ShowEvents();
        return closed;
    }

    phonetest::Sipp sipp;
};

TEST_F(CallingOut, AnsweredHeardBothWaysAndHungUpHere) {
    phonetest::MediaSocket farMedia(Port.media);
    phone::CallId call = DialSipp("uas_answer_sdp.xml", {"-set", "body", Answer(farMedia.Port())});
    EXPECT_TRUE(WaitForCall(Event::Kind::Progress, call)) << ShowEvents();
    ASSERT_TRUE(WaitForCall(Event::Kind::Established, call)) << ShowEvents();
    ASSERT_TRUE(farMedia.WaitForPackets(25, 0)) << "the phone's sound did not reach the far end";
    farMedia.SendRtp(50);
    phone->Hangup(call);
    Event closed = Closed(call);
    EXPECT_EQ(closed.end, CallEnd::HungUpHere);
    EXPECT_GE(closed.packetsSent, 25u);
    EXPECT_GT(closed.packetsReceived, 0u) << "the far end's sound did not reach the phone";
    EXPECT_LE(closed.packetsReceived, 50u);
    EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
}

TEST_F(CallingOut, TheFarEndHangsUp) {
    phonetest::MediaSocket farMedia(Port.media);
    phone::CallId call =
        DialSipp("phone_answer_bye.xml", {"-set", "body", Answer(farMedia.Port()), "-set", "talk_ms", "500"});
    ASSERT_TRUE(WaitForCall(Event::Kind::Established, call)) << ShowEvents();
    EXPECT_EQ(Closed(call).end, CallEnd::HungUpThere);
    EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
}

TEST_F(CallingOut, EachRefusalIsNamedWithTheProvidersCode) {
    const struct {
        const char* code;
        const char* reason;
        CallEnd end;
    } refusals[] = {{"486", "Busy Here", CallEnd::Busy},
                    {"404", "Not Found", CallEnd::NotFound},
                    {"480", "Temporarily Unavailable", CallEnd::Unavailable},
                    {"603", "Decline", CallEnd::Declined}};
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.code);
        phone::CallId call =
            DialSipp("uas_refuse.xml", {"-set", "code", refusal.code, "-set", "reason", refusal.reason});
        Event closed = Closed(call);
        EXPECT_EQ(closed.end, refusal.end) << ShowEvents();
        EXPECT_EQ(closed.code, std::atoi(refusal.code));
        EXPECT_EQ(closed.reason, refusal.reason);
        EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
    }
}

TEST_F(CallingOut, AnUnknownNumberIsNotFoundAtTheProvider) {
    phone::CallId call = phone->Dial("nobody-here");
    Event closed = Closed(call);
    EXPECT_EQ(closed.end, CallEnd::NotFound) << ShowEvents();
    EXPECT_EQ(closed.code, 404);
}

TEST_F(CallingOut, HangingUpWhileItRingsCancels) {
    phone::CallId call = DialSipp("uas_cancel.xml");
    Event ringing;
    ASSERT_TRUE(WaitForCall(Event::Kind::Progress, call, &ringing)) << ShowEvents();
    EXPECT_FALSE(ringing.earlyMedia);
    phone->Hangup(call);
    EXPECT_EQ(Closed(call).end, CallEnd::HungUpHere);
    EXPECT_EQ(sipp.Result(), 0) << "the far end saw no CANCEL: " << sipp.Output();
}

TEST_F(CallingOut, EarlyMediaIsPlayedBeforeTheAnswer) {
    phone::CallId call = DialSipp("uas_183.xml");
    Event progress;
    ASSERT_TRUE(WaitForCall(Event::Kind::Progress, call, &progress)) << ShowEvents();
    EXPECT_TRUE(progress.earlyMedia);
    ASSERT_TRUE(WaitForCall(Event::Kind::Established, call)) << ShowEvents();
    phone->Hangup(call);
    Event closed = Closed(call);
    EXPECT_GT(closed.packetsReceived, 20u) << "the far end's tone did not arrive";
    EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
}

TEST_F(CallingOut, AnAnswerWithNoCodecOfOursIsEndedAndNamed) {
    phonetest::MediaSocket farMedia(Port.media);
    phone::CallId call = DialSipp("uas_answer_sdp.xml", {"-set", "body", Answer(farMedia.Port(), "18")});
    Event closed = Closed(call);
    EXPECT_EQ(closed.end, CallEnd::NoCommonCodec) << ShowEvents();
    EXPECT_EQ(sipp.Result(), 0) << "the far end got no BYE: " << sipp.Output();
    EXPECT_EQ(farMedia.Count(0), 0) << "sound went to a far end that cannot decode it";
}

TEST_F(CallingOut, AFarEndThatNeverAnswersEndsWithTheProvidersTimeout) {
    phonetest::Sipp silent;
    ASSERT_TRUE(silent.StartRegistered("phone_silent.xml"));
    // Kamailio gives a branch that answers nothing 30 s (its transaction timer), then answers 408.
    phone::CallId call = phone->Dial("7477");
    Event closed = Closed(call, 60000);
    EXPECT_EQ(closed.end, CallEnd::NoAnswer) << ShowEvents();
    silent.Stop();
}

} // namespace
