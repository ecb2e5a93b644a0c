// The phone registering alice at a real registrar: accepted, refused with the reason, over UDP and TCP,
// and a provider that goes away and comes back, which the phone reports and SipLink's retry mends.
#include "tests/phone/PhoneDesk.h"

namespace {

using phone::Event;
using phonetest::Wait;

class Registering : public phonetest::PhoneDesk {};

TEST_F(Registering, TheRightPasswordIsAccepted) {
    StartPhone();
    phone->Apply(Account());
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registering)) << ShowEvents();
    Event registered;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Registered, &registered)) << ShowEvents();
    EXPECT_EQ(registered.code, 200);
    EXPECT_GT(registered.expires, 0u);
}

TEST_F(Registering, AWrongPasswordIsRefusedWithTheProvidersAnswer) {
    StartPhone();
    phone->Apply(Account("not-alices"));
    Event refused;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Refused, &refused)) << ShowEvents();
    EXPECT_EQ(refused.code, 403);
    EXPECT_EQ(refused.reason, "Forbidden");
    // SipLink's retry, with the password mended, registers.
    phone->Apply(Account());
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registered)) << ShowEvents();
}

TEST_F(Registering, AnUnknownUserIsRefused) {
    StartPhone();
    phone::Settings stranger = Account("whatever");
    stranger.user = "mallory";
    phone->Apply(stranger);
    Event refused;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Refused, &refused)) << ShowEvents();
    EXPECT_GE(refused.code, 400);
}

TEST_F(Registering, OverTcpToo) {
    StartPhone();
    phone::Settings overTcp = Account();
    overTcp.transport = "tcp";
    phone->Apply(overTcp);
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registered)) << ShowEvents();
}

TEST_F(Registering, AProviderThatIsGoneIsReportedAndTheRetryRegistersWhenItIsBack) {
    RegisterAlice();
    provider.Stop();
    phone->Register();
    Event gone;
    // SIP gives a REGISTER 32 s; a refused port on loopback may answer sooner.
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Unreachable, &gone, 60000)) << ShowEvents();
    EXPECT_FALSE(gone.reason.empty());
    ASSERT_TRUE(StartProvider());
    phone->Register();
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registered)) << ShowEvents();
}

TEST_F(Registering, AnAddressThatCannotBeReadIsReportedWithoutAnyRequest) {
    StartPhone();
    phone::Settings broken = Account();
    broken.domain = "127.0.0.1:99999";
    phone->Apply(broken);
    Event unreachable;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Unreachable, &unreachable)) << ShowEvents();
    EXPECT_NE(unreachable.reason.find("cannot be read"), std::string::npos) << unreachable.reason;
}

} // namespace
