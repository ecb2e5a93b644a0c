// A far end that sends malformed SIP: whatever the phone makes of it, the call ends for the program with a
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
        FarEndHangsUp();
    }
};

TEST_F(BadInputFromTheFarEnd, AnAnswerWhoseSdpIsGarbageFailsTheCall) {
    uint32_t releases = Releases();
    DialSipp("uas_answer_sdp.xml", {"-set", "body", "this is no SDP {{{{ ;;;;\\nm=audio banana RTP/AVP x"});
    ExpectReleased(releases, "FAILED");
    EXPECT_TRUE(LogHas("CALL-END 1 FAILED")) << ShowLog();
    EXPECT_EQ(sipp.Result(), 0) << "the phone did not acknowledge and hang up: " << sipp.Output();
    NextCallWorks();
}

TEST_F(BadInputFromTheFarEnd, AnAnswerWithoutContactFailsTheCall) {
    uint32_t releases = Releases();
    DialSipp("uas_no_contact.xml");
    ExpectReleased(releases, "FAILED");
    EXPECT_TRUE(LogHas("CALL-END 1 FAILED")) << ShowLog();
    EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
    NextCallWorks();
}

// An answer naming none of the phone's codecs ends the call with its reason: there would be no sound.
TEST_F(BadInputFromTheFarEnd, AnAnswerWithNoCodecInCommonFailsTheCallAndSaysWhy) {
    uint32_t releases = Releases();
    DialSipp("uas_answer_sdp.xml", {"-set", "body",
                                    "v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\n"
                                    "m=audio [media_port] RTP/AVP 18\\na=rtpmap:18 G729/8000"});
    ExpectReleased(releases, "FAILED");
    EXPECT_TRUE(LogHas("PHONE closed 1: the far end has no sound format in common")) << ShowLog();
    EXPECT_EQ(sipp.Result(), 0) << "the phone did not acknowledge and hang up: " << sipp.Output();
    NextCallWorks();
}

// An answer whose Content-Length runs far beyond its body (the proxy passes it on) connects the call all
// the same, and the End key ends it.
TEST_F(BadInputFromTheFarEnd, AnAnswerWithAContentLengthBeyondItsBodyConnectsAndTheEndKeyEndsIt) {
    DialSipp("uas_answer_sdp.xml", {"-set", "body",
                                    "v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\n"
                                    "m=audio [media_port] RTP/AVP 0\\na=rtpmap:0 PCMU/8000",
                                    "-set", "len", "99999"});
    ASSERT_TRUE(WaitForCallLight(true)) << ShowLog();
    ASSERT_TRUE(HandsetHangUp(1));
    EXPECT_EQ(sipp.Result(), 0) << "SIPp saw no BYE: " << sipp.Output();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 STATUS FINISHED")) << ShowLog();
    EXPECT_TRUE(LogHas("CALL-END 1 FINISHED")) << ShowLog();
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
    EXPECT_TRUE(LogHas("CALL-END 1 FAILED") && LogHas("the phone ended it: 408")) << ShowLog();
    sipp.Stop();
    NextCallWorks();
}

TEST_F(BadInputFromTheFarEnd, AnIncomingCallWithGarbageSdpOrContactIsRefusedAndNeverRings) {
    const std::string contact = "<sip:7477@[local_ip]:[local_port]>";
    const std::string offer = "v=0\\no=far 1 1 IN IP4 127.0.0.1\\ns=-\\nc=IN IP4 127.0.0.1\\nt=0 0\\n"
                              "m=audio [media_port] RTP/AVP 0\\na=rtpmap:0 PCMU/8000";
    const std::vector<std::pair<std::string, std::string>> invites = {
        {contact, "this is no SDP {{{{ ;;;;\\nm=audio banana RTP/AVP x"}, {"{{{{ no address ;;;;", offer}};
    for (const auto& [contactLine, body] : invites) {
        SCOPED_TRACE(contactLine + " " + body);
        sipaccount::SippFarEnd caller;
        ASSERT_TRUE(caller.Start("uac_broken.xml", {"-set", "contact", contactLine, "-set", "body", body,
                                                    "127.0.0.1:" + std::to_string(sipaccount::Port.provider),
                                                    "-s", "alice", "-au", "7477", "-ap", "7477pw"}))
            << caller.Output();
        EXPECT_EQ(caller.Result(), 0) << "the call was not refused: " << caller.Output() << ShowLog();
        EXPECT_FALSE(WaitForHandset([](const HandsetView& view) { return view.ringing; }, 1000)) << ShowLog();
        EXPECT_FALSE(sipLink.WaitForLog("SEND", "STATUS RINGING", 0)) << ShowLog();
    }
    NextCallWorks();
}

} // namespace
