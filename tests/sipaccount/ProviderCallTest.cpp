// Calls through a real provider: the handset's calls go out through SipLink's phone, registered with
// digest authentication, and the proxy challenges each INVITE; the far end is an agent registered there
// too, or SIPp for the answers an agent cannot give on demand.
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::AtProvider;
using sipaccount::Wait;

class ProviderCalls : public sipaccount::ProviderLine {};

TEST_F(ProviderCalls, ADialledNumberGoesThroughTheProxyIsAnsweredTakesATone) {
    Dial("42");
    FarRings();
    FarAnswers();
    PressAToneReachesTheFarEnd('5');
    HangUpAtTheHandset();
}

TEST_F(ProviderCalls, AContactIsCalledThroughTheProxyAndTheFarEndHangsUp) {
    CallBob();
    FarRings();
    FarAnswers();
    FarEndHangsUp();
}

TEST_F(ProviderCalls, TheFarEndCallsThroughTheProxyTheTalkKeyAnswersTheEndKeyHangsUp) {
    FarCalls();
    ASSERT_TRUE(HandsetTakeLine());
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_ESTABLISHED")) << ShowLog();
    EXPECT_TRUE(WaitForCallLight(true)) << ShowLog();
    HangUpAtTheHandset();
}

TEST_F(ProviderCalls, ACallNobodyAnswersAndOneGivenUpEnd) {
    uint32_t releases = Releases();
    FarCalls();
    ASSERT_TRUE(farEnd.Command("hangup"));
    ExpectReleased(releases, "MISSED");

    releases = Releases();
    Dial("42");
    FarRings();
    // The far end gives up after its time-out; the caller hears busy.
    EXPECT_TRUE(WaitForRelease(releases + 1, Wait + 3000)) << ShowLog();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 2 STATUS BUSY")) << ShowLog();
}

TEST_F(ProviderCalls, AUserNotThereIsNotFound) {
    uint32_t releases = Releases();
    Dial("7"); // no such user at the provider: 404
    ExpectReleased(releases, "FAILED");
}

TEST_F(ProviderCalls, EachRefusalOfTheFarEndReleasesTheHandsetWithItsEnd) {
    struct Refusal {
        const char* code;
        const char* reason;
        const char* status;
    } refusals[] = {{"486", "Busy Here", "BUSY"},
                    {"404", "Not Found", "FAILED"},
                    {"480", "Temporarily Unavailable", "FAILED"},
                    {"603", "Decline", "REFUSED"}};
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.code);
        uint32_t releases = Releases();
        DialSipp("uas_refuse.xml", {"-set", "code", refusal.code, "-set", "reason", refusal.reason});
        ExpectReleased(releases, refusal.status);
        EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
        EXPECT_TRUE(LogHas(std::string("the phone ended it: ") + refusal.code)) << ShowLog();
    }
}

TEST_F(ProviderCalls, TheEndKeyWhileTheFarEndRingsCancelsTheCall) {
    DialSipp("uas_cancel.xml");
    ASSERT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 STATUS RINGING")) << ShowLog();
    ASSERT_TRUE(HandsetHangUp(1));
    // SIPp ends well only when the CANCEL came and its 487 was acknowledged.
    EXPECT_EQ(sipp.Result(), 0) << sipp.Output();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 STATUS FINISHED")) << ShowLog();
}

TEST_F(ProviderCalls, EarlyMediaRingsTheCallAndTheAnswerConnectsIt) {
    DialSipp("uas_183.xml");
    ASSERT_TRUE(LogHas("PHONE progress")) << ShowLog();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 STATUS RINGING")) << ShowLog();
    EXPECT_TRUE(WaitForCallLight(true)) << "the answer after early media did not connect" << ShowLog();
    ASSERT_TRUE(HandsetHangUp(1));
    EXPECT_EQ(sipp.Result(), 0) << "SIPp saw no BYE: " << sipp.Output();
    EXPECT_TRUE(WaitForCallLight(false));
}

// SipLink ended in a call, as the user's Exit does: it ends in order (Stop checks its exit code), the far
// end hears the call end (BYE), and the handset is released with its light off.
TEST_F(ProviderCalls, SipLinkEndedInACallEndsItAtTheFarEndAndReleasesTheHandset) {
    Dial("42");
    FarRings();
    FarAnswers();
    uint32_t releases = Releases();
    sipLink.Stop();
    AgentMessage closed;
    EXPECT_TRUE(farEnd.WaitForEvent("CALL_CLOSED", Wait, &closed)) << "the far end was left in the call";
    EXPECT_EQ(closed.param, "Connection reset by peer");
    EXPECT_TRUE(WaitForRelease(releases + 1)) << "the handset was not released";
    EXPECT_TRUE(WaitForSkypeLight(false));
}

} // namespace
