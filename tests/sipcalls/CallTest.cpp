// Calls through a SIP line, made and taken at the handset, with a real user agent at the far end, both
// registered at the provider.
#include "tests/sipcalls/SipDesk.h"

namespace {

using sipcalls::Wait;

class SipCalls : public sipcalls::SipDesk {
  protected:
    // The handset dials the far end's number.
    void DialFarEnd() {
        Dial(sipcalls::FarNumber);
        FarRings();
    }
};

TEST_F(SipCalls, ADialledNumberRingsTheFarEndTalksSendsATone) {
    DialFarEnd();
    FarAnswers();

    PressAToneReachesTheFarEnd('5');

    HangUpAtTheHandset();
}

TEST_F(SipCalls, AContactChosenOnTheHandsetIsCalledAndTheFarEndHangsUp) {
    CallBob();
    FarRings();
    FarAnswers();

    FarEndHangsUp();
    EXPECT_FALSE(ReadHandset().inCall);
}

TEST_F(SipCalls, TheFarEndCallsTheTalkKeyAnswersTheEndKeyHangsUp) {
    FarCalls();
    ASSERT_TRUE(HandsetTakeLine());
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_ESTABLISHED")) << ShowLog();
    EXPECT_TRUE(WaitForCallLight(true)) << ShowLog();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 PARTNER_HANDLE bob")) << ShowLog();

    HangUpAtTheHandset();
}

TEST_F(SipCalls, ACallTheFarEndGivesUpBeforeTheAnswerIsMissed) {
    FarCalls();
    uint32_t releases = Releases();
    ASSERT_TRUE(farEnd.Command("hangup"));
    ExpectReleased(releases, "MISSED");
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return !view.ringing; }, Wait));
}

TEST_F(SipCalls, AMissedCallIsCountedCalledBackFromTheListTimedAndRedialled) {
    auto showing = [](const std::string& text) {
        return [text](const HandsetView& view) { return view.display.compare(0, text.size(), text) == 0; };
    };
    auto callsToBob = [&] {
        std::string log = sipLink.Log();
        size_t count = 0;
        for (size_t at = log.find(" RECV CALL bob\r\n"); at != std::string::npos;
             at = log.find(" RECV CALL bob\r\n", at + 1))
            ++count;
        return count;
    };
    FarCalls();
    uint32_t releases = Releases();
    ASSERT_TRUE(farEnd.Command("hangup"));
    ExpectReleased(releases, "MISSED");
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_CLOSED")) << "the far end's own end of the call" << ShowLog();
    EXPECT_TRUE(WaitForHandset(showing("1 missed"), Wait)) << "[" << ReadHandset().display << "]";

    Press("*");
    ASSERT_TRUE(WaitForHandset(showing("!bob"), Wait)) << "[" << ReadHandset().display << "]";
    Press("#");
    ASSERT_TRUE(sipLink.WaitForLog("RECV", "CALL bob")) << ShowLog();
    FarRings();
    FarAnswers();
    Sleep(1500);
    HangUpAtTheHandset();
    EXPECT_TRUE(WaitForHandset(
        [](const HandsetView& view) {
            return view.display.compare(0, 9, "Call 00:0") == 0 &&
                   view.display.compare(0, 10, "Call 00:00") != 0;
        },
        Wait))
        << "[" << ReadHandset().display << "]";

    // The talk key while idle calls bob again.
    ASSERT_TRUE(HandsetTakeLine());
    EXPECT_TRUE(test::WaitUntil([&] { return callsToBob() == 2; }, Wait)) << ShowLog();
    FarRings();
}

TEST_F(SipCalls, ANumberNotFoundARefusalAndNoAnswerEachEndTheCall) {
    uint32_t releases = Releases();
    Dial("7"); // nobody there by that number
    ExpectReleased(releases, "FAILED");

    releases = Releases();
    DialFarEnd();
    ASSERT_TRUE(farEnd.Command("hangup"));
    ExpectReleased(releases, "BUSY");

    // Nobody answers: the far end gives up after its time-out; the caller hears busy.
    releases = Releases();
    DialFarEnd();
    EXPECT_TRUE(WaitForRelease(releases + 1, Wait + sipcalls::FarAnswerTimeoutS * 1000)) << ShowLog();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 3 STATUS BUSY")) << ShowLog();
}

TEST_F(SipCalls, ACallToWhereNobodyIsFailsAfterTheSipTimeOut) {
    // The one slow road: the far end dies still registered, nothing answers at its address, and the call
    // ends after the SIP time-out.
    farEnd.Close();
    farAgent.Kill();
    uint32_t releases = Releases();
    Dial(sipcalls::FarNumber);
    EXPECT_TRUE(WaitForRelease(releases + 1, 60000)) << "the handset was not released" << ShowLog();
    EXPECT_TRUE(sipLink.WaitForLog("SEND", "CALL 1 STATUS FAILED")) << ShowLog();
    EXPECT_TRUE(WaitForCallLight(false));
}

} // namespace
