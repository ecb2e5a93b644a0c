// Calls through a SIP line, made and taken at the handset, with a real user agent at the far end.
#include "tests/sipcalls/SipDesk.h"

namespace {

using sipcalls::FarAddress;
using sipcalls::NearAddress;
using sipcalls::Wait;

class SipCalls : public sipcalls::SipDesk {};

TEST_F(SipCalls, ADialledNumberRingsTheFarEndTalksSendsATone) {
    Dial(sipcalls::FarNumber);
    AgentMessage incoming;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_INCOMING", Wait, &incoming)) << ShowLog();
    EXPECT_EQ(incoming.peerUri, NearAddress);
    FarAnswers();

    Press("5");
    AgentMessage tone;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_DTMF_START", Wait, &tone)) << ShowLog();
    EXPECT_EQ(tone.param, "5");

    ASSERT_TRUE(HandsetHangUp(1));
    AgentMessage closed;
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_CLOSED", Wait, &closed)) << ShowLog();
    EXPECT_EQ(closed.param, "Connection reset by peer");
    EXPECT_TRUE(WaitForCallLight(false));
}

} // namespace
