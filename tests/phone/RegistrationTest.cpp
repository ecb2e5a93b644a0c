// The phone registering alice at a real registrar: accepted, refused with the reason, over UDP and TCP,
// and a provider that goes away and comes back, which the phone reports and SipLink's retry mends.
#include "tests/phone/PhoneDesk.h"

#include "siplink/phone/SipEndpoint.h"

namespace {

using phone::Event;
using phonetest::Wait;

class PhoneRegistering : public phonetest::PhoneDesk {};

TEST_F(PhoneRegistering, TheRightPasswordIsAccepted) {
    StartPhone();
    phone->Apply(Account());
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registering)) << ShowEvents();
    Event registered;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Registered, &registered)) << ShowEvents();
    EXPECT_EQ(registered.code, 200);
    EXPECT_GT(registered.expires, 0u);
}

TEST_F(PhoneRegistering, AWrongPasswordIsRefusedWithTheProvidersAnswer) {
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

TEST_F(PhoneRegistering, AnUnknownUserIsRefused) {
    StartPhone();
    phone::Settings stranger = Account("whatever");
    stranger.user = "mallory";
    phone->Apply(stranger);
    Event refused;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Refused, &refused)) << ShowEvents();
    EXPECT_GE(refused.code, 400);
}

TEST_F(PhoneRegistering, OverTcpToo) {
    StartPhone();
    phone::Settings overTcp = Account();
    overTcp.transport = "tcp";
    phone->Apply(overTcp);
    EXPECT_TRUE(WaitForRegistration(Event::RegState::Registered)) << ShowEvents();
}

TEST_F(PhoneRegistering, AProviderThatIsGoneIsReportedAndTheRetryRegistersWhenItIsBack) {
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

TEST_F(PhoneRegistering, AnAddressThatCannotBeReadIsReportedWithoutAnyRequest) {
    StartPhone();
    phone::Settings broken = Account();
    broken.domain = "127.0.0.1:99999";
    phone->Apply(broken);
    Event unreachable;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Unreachable, &unreachable)) << ShowEvents();
    EXPECT_NE(unreachable.reason.find("cannot be read"), std::string::npos) << unreachable.reason;
}

// A registrar of the test's own on a UDP socket: answers each REGISTER 200 with the expiry it grants,
// and tells what else came (the phone's keepalives).
class PlainRegistrar {
  public:
    explicit PlainRegistrar(int port) {
        socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<u_short>(port));
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    }
    ~PlainRegistrar() { closesocket(socket); }

    // Waits for a datagram; answers a REGISTER with 200 and `expires`; gives what came.
    std::string Serve(unsigned expires, DWORD timeoutMs) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket, &readable);
        timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000 * 1000)};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            return "";
        char buffer[4096];
        sockaddr_in from = {};
        int fromSize = sizeof from;
        int size = recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        std::string request(buffer, size > 0 ? size : 0);
        if (request.rfind("REGISTER ", 0) != 0)
            return request;
        std::string answer = "SIP/2.0 200 OK\r\n";
        for (const char* name : {"Via:", "From:", "Call-ID:", "CSeq:"})
            answer += Header(request, name) + "\r\n";
        answer += Header(request, "To:") + ";tag=registrar\r\n";
        std::string contact = Header(request, "Contact:");
        answer += contact.substr(0, contact.find(";expires")) + ";expires=" + std::to_string(expires) +
                  "\r\nContent-Length: 0\r\n\r\n";
        sendto(socket, answer.data(), static_cast<int>(answer.size()), 0, reinterpret_cast<sockaddr*>(&from),
               fromSize);
        return request;
    }

  private:
    static std::string Header(const std::string& message, const char* name) {
        size_t at = message.find(std::string("\r\n") + name);
        if (at == std::string::npos)
            return "";
        size_t end = message.find("\r\n", at + 2);
        return message.substr(at + 2, end - at - 2);
    }

    SOCKET socket = INVALID_SOCKET;
};

TEST_F(PhoneRegistering, RefreshedBeforeItExpiresAndKeptAliveForAHomeRouterBetween) {
    PlainRegistrar registrar(phonetest::Port.media + 4);
    StartPhone();
    phone::Settings settings = Account();
    settings.domain = "127.0.0.1:" + std::to_string(phonetest::Port.media + 4);
    settings.registerSeconds = 10;
    phone->Apply(settings);
    ASSERT_EQ(registrar.Serve(10, Wait).rfind("REGISTER ", 0), 0u) << "no REGISTER came";
    Event registered;
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Registered, &registered)) << ShowEvents();
    EXPECT_EQ(registered.expires, 10u);
    // The refresh comes at 90 % of the expiry granted; the keepalive within its period after the first.
    bool refreshed = false;
    bool keptAlive = false;
    DWORD since = GetTickCount();
    while (!(refreshed && keptAlive) &&
           GetTickCount() - since < (phone::SipEndpoint::KeepaliveS + 15) * 1000) {
        std::string came = registrar.Serve(10, 1000);
        refreshed = refreshed || came.rfind("REGISTER ", 0) == 0;
        keptAlive = keptAlive || came == "\r\n\r\n";
    }
    EXPECT_TRUE(refreshed) << "the registration was not refreshed before it expired";
    EXPECT_TRUE(keptAlive) << "no keepalive went to the registrar";
    for (const Event& event : events)
        EXPECT_NE(event.registration, Event::RegState::Unreachable) << ShowEvents();
}

} // namespace
