// What comes to the phone's SIP port from outside the provider: a stranger's INVITE and OPTIONS (the
// ghost calls of SIP scanners) are dropped unanswered unless the user turned that off; garbage and
// malformed SIP change nothing; and a phone stopped in a call says goodbye.
#include "tests/phone/PhoneDesk.h"

#include <ws2tcpip.h>

namespace {

using phone::Event;
using phonetest::AtProvider;
using phonetest::Port;
using phonetest::Wait;

// A UDP socket of the test's, sending straight to the phone's SIP port (from 127.0.0.1, the provider's
// address: Wine sends from there whatever loopback address the socket is bound to).
class RawSip {
  public:
    RawSip() {
        socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        phoneSip.sin_family = AF_INET;
        phoneSip.sin_port = htons(static_cast<u_short>(Port.phoneSip));
        inet_pton(AF_INET, "127.0.0.1", &phoneSip.sin_addr);
    }
    ~RawSip() { closesocket(socket); }
    void Send(const std::string& bytes) {
        sendto(socket, bytes.data(), static_cast<int>(bytes.size()), 0,
               reinterpret_cast<sockaddr*>(&phoneSip), sizeof phoneSip);
    }

  private:
    SOCKET socket = INVALID_SOCKET;
    sockaddr_in phoneSip = {};
};

class FromOutside : public phonetest::PhoneDesk {
  protected:
    bool Rang(DWORD timeoutMs) {
        return WaitForEvent([](const Event& event) { return event.kind == Event::Kind::Incoming; }, nullptr,
                            timeoutMs);
    }
    // The provider's calls still ring: baresip as 42 calls alice, and gives up.
    void TheProvidersCallsStillRing() {
        StartFarAgent();
        ASSERT_TRUE(farEnd.Command("dial", AtProvider("alice")));
        EXPECT_TRUE(Rang(Wait)) << "a call through the provider no longer rang" << ShowEvents();
        farEnd.Command("hangup");
    }
};

TEST_F(FromOutside, AStrangersInviteAndOptionsAreDroppedUnanswered) {
    RegisterAlice();
    // SIPp on another loopback address, as a scanner on the internet.
    phonetest::Sipp stranger;
    ASSERT_TRUE(
        stranger.StartAt("phone_stranger.xml", "127.0.0.1:" + std::to_string(Port.phoneSip), "127.0.0.2"))
        << stranger.Output();
    EXPECT_EQ(stranger.Result(), 0) << "the phone answered a stranger: " << stranger.Output();
    EXPECT_FALSE(Rang(0)) << "a stranger's call rang" << ShowEvents();
    TheProvidersCallsStillRing();
}

TEST_F(FromOutside, WithTheFilterOffAStrangersCallRings) {
    StartPhone();
    phone::Settings open = Account();
    open.providerOnly = false;
    phone->Apply(open);
    ASSERT_TRUE(WaitForRegistration(Event::RegState::Registered)) << ShowEvents();
    phonetest::Sipp stranger;
    ASSERT_TRUE(
        stranger.StartAt("phone_stranger.xml", "127.0.0.1:" + std::to_string(Port.phoneSip), "127.0.0.2"))
        << stranger.Output();
    Event incoming;
    ASSERT_TRUE(WaitForCall(Event::Kind::Incoming, 0, &incoming)) << ShowEvents();
    EXPECT_EQ(incoming.peerName, "scanner");
    EXPECT_NE(stranger.Result(), 0) << "the phone's answers did not reach the caller: " << stranger.Output();
}

TEST_F(FromOutside, GarbageAndMalformedSipChangeNothing) {
    RegisterAlice();
    // From the provider's own address: the parser, not the filter, must take it.
    {
        RawSip sender;
        uint32_t seed = 777;
        for (int i = 0; i < 200; ++i) {
            std::string bytes(1 + (seed = seed * 1103515245 + 12345) % 1500, '\0');
            for (char& b : bytes)
                b = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
            sender.Send(bytes);
        }
        const char* malformed[] = {
            "INVITE sip:alice@127.0.0.1 SIP/2.0\r\n\r\n",
            "INVITE sip:alice@127.0.0.1 SIP/2.0\r\nVia: garbage\r\nContent-Length: 99999\r\n\r\nv=0",
            "SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP 127.0.0.1:1;branch=z9hG4bKnone\r\nCSeq: 1 INVITE\r\n\r\n",
            "INVITE sip:alice@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1\r\nFrom: <>\r\nTo: <>\r\n"
            "Call-ID: x\r\nCSeq: banana INVITE\r\nContent-Type: application/sdp\r\nContent-Length: "
            "5\r\n\r\n{{{{{",
            "\r\n\r\n",
            "BYE sip:alice@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:1;branch=z9hG4bKx\r\nFrom: "
            "<sip:a@b>;tag=1"
            "\r\nTo: <sip:alice@127.0.0.1>;tag=2\r\nCall-ID: none\r\nCSeq: 2 BYE\r\nContent-Length: "
            "0\r\n\r\n",
        };
        for (const char* message : malformed)
            sender.Send(message);
    }
    EXPECT_FALSE(Rang(1000)) << ShowEvents();
    for (const Event& event : events)
        EXPECT_FALSE(event.kind == Event::Kind::Registration &&
                     event.registration != Event::RegState::Registered &&
                     event.registration != Event::RegState::Registering)
            << ShowEvents();
    TheProvidersCallsStillRing();
}

TEST_F(FromOutside, APhoneStoppedInACallSaysGoodbyeAndANewOneWorks) {
    RegisterAlice();
    StartFarAgent();
    ASSERT_TRUE(farEnd.Command("dial", AtProvider("alice")));
    Event incoming;
    ASSERT_TRUE(WaitForCall(Event::Kind::Incoming, 0, &incoming)) << ShowEvents();
    phone->Answer(incoming.call);
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_ESTABLISHED", Wait));
    phone.reset();
    EXPECT_TRUE(farEnd.WaitForEvent("CALL_CLOSED", Wait)) << "the caller got no BYE";
    // libre's loop starts again in the same process.
    events.clear();
    nextEvent = 0;
    RegisterAlice();
    // One loop per process: a second phone beside it does not start.
    phone::Phone second(window, WM_APP + 8);
    EXPECT_FALSE(second.Started());
}

} // namespace
