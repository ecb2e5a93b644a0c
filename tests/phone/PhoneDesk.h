#pragma once
// A desk for the real phone: the Phone of this test program (the stack on its own thread, libre, the
// window message) registered as alice at the loopback provider (Kamailio with passwords), with far ends
// to call and be called by: SIPp scenarios of the provider folder (as user 7477), Debian's baresip as
// user 42, and the test's own RTP sockets standing in for a far end's media.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/sip/agent/AgentClient.h"
#include "tools/sip/agent/AgentProcess.h"
#include "tools/sip/agent/ScriptProcess.h"
#include "siplink/phone/CallState.h"
#include "siplink/phone/Phone.h"
#include "tests/common/TestSupport.h"

namespace phonetest {

// Generous: a failure's bound, never a verdict on time.
constexpr DWORD Wait = 15000;

// This program's ports, within its sandbox's block.
struct Ports {
    int base = test::TestPort(test::FirstTestPort);
    int phoneSip = base + 10;
    int phoneRtpMin = base + 20; // to base + 59
    int phoneRtpMax = base + 59;
    int provider = base + 90;
    int sipp = base + 150;
    int sippMedia = base + 160; // SIPp's audio and video ports with their control ports
    int stranger = base + 170;  // a SIPp on 127.0.0.2
    int media = base + 200;     // the test's own RTP sockets, two ports each
};
const Ports Port;

std::string AtProvider(const std::string& user);

// A SIPp run of the provider folder's scenarios (sipp.sh); `arguments` may begin with "-set NAME VALUE"
// triples, then SIPp's own options, which win over the defaults.
class Sipp {
  public:
    // A far end at the provider: registers as 7477 first, then plays the scenario on Port.sipp.
    bool StartRegistered(const std::string& scenario, const std::vector<std::string>& arguments = {});
    // Plays the scenario toward `remote` (host:port) without registering, from `address` on Port.stranger.
    bool StartAt(const std::string& scenario, const std::string& remote, const std::string& address,
                 const std::vector<std::string>& arguments = {});
    // Waits for SIPp's end; answers its exit code (-1 when it did not end in time).
    int Result(DWORD timeoutMs = Wait);
    std::string Output() const;
    void Stop() { run.Stop(); }

  private:
    bool Run(const std::string& folder, const std::vector<std::string>& arguments);
    ScriptProcess run;
};

// A far end's media on the test's own UDP socket: counts the phone's RTP, sends a stream back, and
// answers from another port when asked (as a far end behind a router would).
class MediaSocket {
  public:
    explicit MediaSocket(int port);
    ~MediaSocket();
    int Port() const { return port; }
    // Reads what came within the time; counts RTP by payload type and remembers its source.
    void Receive(DWORD timeoutMs);
    // Until `count` more RTP packets of this payload type have come (-1: any type).
    bool WaitForPackets(int count, int payloadType = -1, DWORD timeoutMs = Wait);
    int Count(int payloadType) const;
    // The PCMU payloads received, one after the other.
    const std::vector<uint8_t>& Sound() const { return sound; }
    // RFC 4733 events received, by event number, counted once per event (its first packet).
    std::vector<int> Events() const { return events; }
    // The phone's RTP source address (port), once a packet came.
    const sockaddr_in& PhoneAddress() const { return phone; }
    // Sends to this address of the phone's from now on.
    void Aim(const sockaddr_in& phoneAddress) { phone = phoneAddress; }
    // Sends `count` PCMU packets to the phone's address, 20 ms apart in sequence numbers: silence, or a tone
    // of `hertz`.
    void SendRtp(int count, double hertz = 0);

  private:
    SOCKET socket = INVALID_SOCKET;
    int port;
    sockaddr_in phone = {};
    std::vector<int> counts = std::vector<int>(128, 0);
    std::vector<int> events;
    std::vector<uint8_t> sound;
    uint32_t lastEventTimestamp = 0;
    uint16_t sequence = 1;
    uint32_t timestamp = 1000;
};

// G.711 mu-law and a tone's frequency, the test's own (not the phone's codec): what the far end hears.
int16_t DecodeUlaw(uint8_t code);
uint8_t EncodeUlaw(int16_t sample);
// The frequency of a tone in samples at 8 kHz by its zero crossings; 0 for silence.
double Frequency(const std::vector<int16_t>& samples);

class PhoneDesk : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // alice at the provider, with this program's ports.
    phone::Settings Account(const std::string& password = "alicepw") const;
    bool StartProvider();
    void StartPhone(phone::SoundFactory sound = nullptr);
    // Applies the account and waits for the registration's end state.
    void RegisterAlice(const std::string& password = "alicepw");

    // Waits for the next event (after those taken by earlier waits) that `matches`; every event stays in
    // `events`.
    bool WaitForEvent(const std::function<bool(const phone::Event&)>& matches, phone::Event* found = nullptr,
                      DWORD timeoutMs = Wait);
    bool WaitForRegistration(phone::Event::RegState state, phone::Event* found = nullptr,
                             DWORD timeoutMs = Wait);
    bool WaitForCall(phone::Event::Kind kind, phone::CallId call, phone::Event* found = nullptr,
                     DWORD timeoutMs = Wait);
    // Takes what the phone posted within the time.
    void Pump(DWORD timeoutMs);
    std::string ShowEvents() const;

    // The baresip far end, user 42 at the provider.
    void StartFarAgent();

    HWND window = nullptr;
    std::unique_ptr<phone::Phone> phone;
    std::vector<phone::Event> events;
    size_t nextEvent = 0;
    ScriptProcess provider;
    AgentProcess farAgent;
    AgentClient farEnd;
};

} // namespace phonetest
