// A far end that sends malformed SIP: whatever the agent makes of it, the call ends for the program with a
// named status, the handset is released (or never rings), the line stays registered and the next call
// works.
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

class BadInputFromTheFarEnd : public sipaccount::ProviderLine {
  protected:
    // The line is still offered and a call to the far agent rings, is answered and hung up.
    void NextCallWorks() {
        EXPECT_TRUE(WaitForSkypeLight(true)) << "the line went off" << ShowLog();
        Dial("42");
        ASSERT_TRUE(farEnd.WaitForEvent("CALL_INCOMING")) << ShowLog();
        FarAnswers();
        uint32_t releases = Releases();
        ASSERT_TRUE(farEnd.Command("hangup"));
        ExpectReleased(releases, "FINISHED");
    }
    void AnswerWithBody(const std::string& body) { DialSipp("uas_answer_sdp.xml", {"-set", "body", body}); }
};

TEST_F(BadInputFromTheFarEnd, AnAnswerWhoseSdpIsGarbageFailsTheCall) {
    uint32_t releases = Releases();
    AnswerWithBody("this is no SDP {{{{ ;;;;\\nm=audio banana RTP/AVP x");
    ExpectReleased(releases, "FAILED");
    EXPECT_TRUE(LogHas("CALL-END 1 FAILED: the far end's SIP could not be read")) << ShowLog();
    EXPECT_EQ(sipp.Result(), 0) << "the agent did not acknowledge and hang up: " << sipp.Output();
    NextCallWorks();
}

TEST_F(BadInputFromTheFarEnd, AnAnswerWithoutContactFailsTheCall) {
    uint32_t releases = Releases();
    DialSipp("uas_no_contact.xml");
    ExpectReleased(releases, "FAILED");
    EXPECT_TRUE(LogHas("CALL-END 1 FAILED: the far end's SIP could not be read")) << ShowLog();
    EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
    NextCallWorks();
}

// The agent takes an answer naming none of its codecs as a call without sound: the call is up and the
// End key ends it.
TEST_F(BadInputFromTheFarEnd, AnAnswerWithNoUsableCodecIsASilentCallTheEndKeyEnds) {
    AnswerWithBody("v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\n"
                   "m=audio [media_port] RTP/AVP 18\\na=rtpmap:18 G729/8000");
    ASSERT_TRUE(WaitForCallLight(true)) << ShowLog();
    ASSERT_TRUE(HandsetHangUp(1));
    EXPECT_EQ(sipp.Result(), 0) << "SIPp saw no BYE: " << sipp.Output();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 STATUS FINISHED")) << ShowLog();
    EXPECT_TRUE(WaitForCallLight(false));
    ++callsEnded;
    NextCallWorks();
}

// The proxy drops a response it cannot parse; the far end stays silent and the proxy's time-out (30 s)
// ends the call.
TEST_F(BadInputFromTheFarEnd, AnAnswerWhoseStatusLineIsGarbageFailsTheCallByTheProxysTimeOut) {
    uint32_t releases = Releases();
    DialSipp("uas_garbage_status.xml");
    EXPECT_TRUE(WaitForRelease(releases + 1, 45000)) << ShowLog();
    ExpectReleased(releases, "FAILED");
    EXPECT_TRUE(LogHas("CALL-END 1 FAILED: no answer to the call's SIP in time (408 Request Timeout)"))
        << ShowLog();
    sipp.Stop();
    NextCallWorks();
}

TEST_F(BadInputFromTheFarEnd, AnIncomingCallWithGarbageSdpIsRefusedAndNeverRings) {
    sipaccount::SippFarEnd caller;
    ASSERT_TRUE(caller.Start("uac_garbage_sdp.xml", {"127.0.0.1:" + std::to_string(sipaccount::Port.provider),
                                                     "-s", "alice", "-au", "7477", "-ap", "7477pw"}))
        << caller.Output();
    EXPECT_EQ(caller.Result(), 0) << "the call was not refused: " << caller.Output() << ShowLog();
    EXPECT_FALSE(WaitForHandset([](const HandsetView& view) { return view.ringing; }, 1000)) << ShowLog();
    EXPECT_FALSE(sipLink.WaitForLog("SEND", "STATUS RINGING", 0)) << ShowLog();
    NextCallWorks();
}

} // namespace
