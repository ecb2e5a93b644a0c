#include "tests/phone/PhoneDesk.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace phonetest {

namespace {

constexpr UINT PhoneMessage = WM_APP + 7;
constexpr const char* WindowClass = "PhoneTestWindow";
constexpr const char* SippUser = "7477";

const char* KindName(phone::Event::Kind kind) {
    switch (kind) {
    case phone::Event::Kind::Registration:
        return "Registration";
    case phone::Event::Kind::Incoming:
        return "Incoming";
    case phone::Event::Kind::Progress:
        return "Progress";
    case phone::Event::Kind::Established:
        return "Established";
    case phone::Event::Kind::Closed:
        return "Closed";
    case phone::Event::Kind::Presence:
        return "Presence";
    case phone::Event::Kind::Sound:
        return "Sound";
    }
    return "?";
}

} // namespace

std::string AtProvider(const std::string& user) {
    return "sip:" + user + "@127.0.0.1:" + std::to_string(Port.provider);
}

bool Sipp::Run(const std::string& folder, const std::vector<std::string>& arguments) {
    return run.Start("sipp.sh", "sipagents\\" + folder, arguments);
}

// The scenario, its -set triples, the defaults, then the caller's own options.
static std::vector<std::string> SippLine(const std::string& scenario,
                                         const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& defaults) {
    std::vector<std::string> all = {scenario};
    size_t sets = 0;
    while (sets + 2 < arguments.size() && arguments[sets] == "-set")
        sets += 3;
    all.insert(all.end(), arguments.begin(), arguments.begin() + sets);
    all.insert(all.end(), defaults.begin(), defaults.end());
    all.insert(all.end(), arguments.begin() + sets, arguments.end());
    return all;
}

bool Sipp::StartRegistered(const std::string& scenario, const std::vector<std::string>& arguments) {
    const std::string port = std::to_string(Port.sipp);
    ScriptProcess registration;
    if (!registration.Start("sipp.sh", "sipagents\\phone-sipp-register-" + port,
                            {"reg.xml", "127.0.0.1:" + std::to_string(Port.provider), "-s", SippUser, "-ap",
                             "7477pw", "-i", "127.0.0.1", "-p", port, "-m", "1", "-timeout", "10",
                             "-timeout_error"}) ||
        !registration.WaitForEnd(Wait) || test::ReadWholeFile(registration.Path("rc")).rfind("0", 0) != 0)
        return false;
    return Run("phone-sipp-" + port,
               SippLine(scenario, arguments,
                        {"-i", "127.0.0.1", "-p", port, "-mi", "127.0.0.1", "-mp",
                         std::to_string(Port.sippMedia), "-m", "1", "-timeout", "60", "-trace_err"}));
}

bool Sipp::StartAt(const std::string& scenario, const std::string& remote, const std::string& address,
                   const std::vector<std::string>& arguments) {
    const std::string port = std::to_string(Port.stranger);
    std::vector<std::string> line =
        SippLine(scenario, arguments,
                 {"-i", address, "-p", port, "-mi", address, "-mp", std::to_string(Port.stranger + 4), "-m",
                  "1", "-timeout", "60", "-trace_err"});
    line.insert(line.begin() + 1, remote);
    return Run("phone-sipp-" + port, line);
}

int Sipp::Result(DWORD timeoutMs) {
    if (!run.WaitForEnd(timeoutMs))
        return -1;
    std::string rc = test::ReadWholeFile(run.Path("rc"));
    return rc.empty() ? -1 : std::atoi(rc.c_str());
}

std::string Sipp::Output() const {
    return test::ReadWholeFile(run.Path("log"));
}

MediaSocket::MediaSocket(int mediaPort) : port(mediaPort) {
    socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<u_short>(port));
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local), 0) << "media port " << port;
}

MediaSocket::~MediaSocket() {
    closesocket(socket);
}

void MediaSocket::Receive(DWORD timeoutMs) {
    DWORD since = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - since;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket, &readable);
        timeval wait = {0, static_cast<long>((spent >= timeoutMs ? 0 : timeoutMs - spent) * 1000)};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            return;
        uint8_t packet[2048];
        sockaddr_in from = {};
        int fromSize = sizeof from;
        int size = recvfrom(socket, reinterpret_cast<char*>(packet), sizeof packet, 0,
                            reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 12 || (packet[0] >> 6) != 2)
            continue;
        phone = from;
        int type = packet[1] & 0x7F;
        ++counts[type];
        if (type == 0)
            sound.insert(sound.end(), packet + 12, packet + size);
        uint32_t packetTimestamp = (uint32_t(packet[4]) << 24) | (uint32_t(packet[5]) << 16) |
                                   (uint32_t(packet[6]) << 8) | packet[7];
        // An RFC 4733 event: one per timestamp (its packets repeat the event's start).
        if (type == 101 && size >= 16 && packetTimestamp != lastEventTimestamp) {
            lastEventTimestamp = packetTimestamp;
            events.push_back(packet[12]);
        }
    }
}

bool MediaSocket::WaitForPackets(int count, int payloadType, DWORD timeoutMs) {
    auto total = [&] {
        if (payloadType >= 0)
            return counts[payloadType];
        int all = 0;
        for (int c : counts)
            all += c;
        return all;
    };
    int goal = total() + count;
    DWORD since = GetTickCount();
    while (total() < goal && GetTickCount() - since < timeoutMs)
        Receive(50);
    return total() >= goal;
}

int MediaSocket::Count(int payloadType) const {
    return counts[payloadType];
}

void MediaSocket::SendRtp(int count, double hertz) {
    for (int i = 0; i < count; ++i) {
        uint8_t packet[12 + 160];
        packet[0] = 0x80;
        packet[1] = 0; // PCMU
        packet[2] = static_cast<uint8_t>(sequence >> 8);
        packet[3] = static_cast<uint8_t>(sequence);
        for (int b = 0; b < 4; ++b) {
            packet[4 + b] = static_cast<uint8_t>(timestamp >> (24 - 8 * b));
            packet[8 + b] = static_cast<uint8_t>(0x5EED1234u >> (24 - 8 * b));
        }
        for (int n = 0; n < 160; ++n)
            packet[12 + n] = EncodeUlaw(static_cast<int16_t>(
                8000 * std::sin(2 * 3.14159265358979 * hertz * (timestamp - 1000 + n) / 8000.0)));
        sendto(socket, reinterpret_cast<char*>(packet), sizeof packet, 0, reinterpret_cast<sockaddr*>(&phone),
               sizeof phone);
        ++sequence;
        timestamp += 160;
    }
}

int16_t DecodeUlaw(uint8_t code) {
    code = static_cast<uint8_t>(~code);
    int magnitude = ((code & 0x0F) << 3 | 0x84) << ((code >> 4) & 7);
    return static_cast<int16_t>(code & 0x80 ? 0x84 - magnitude : magnitude - 0x84);
}

uint8_t EncodeUlaw(int16_t sample) {
    int magnitude = std::min(std::abs(static_cast<int>(sample)), 32635) + 0x84;
    int exponent = 7;
    while (exponent > 0 && !(magnitude & (0x4000 >> (7 - exponent))))
        --exponent;
    int mantissa = (magnitude >> (exponent + 3)) & 0x0F;
    return static_cast<uint8_t>(~((sample < 0 ? 0x80 : 0) | exponent << 4 | mantissa));
}

double Frequency(const std::vector<int16_t>& samples) {
    int crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    return samples.size() < 2 ? 0 : crossings / 2.0 / (samples.size() / 8000.0);
}

void PhoneDesk::SetUp() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    WNDCLASSA type = {};
    type.lpfnWndProc = DefWindowProcA;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = WindowClass;
    RegisterClassA(&type);
    window = CreateWindowA(WindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(StartProvider()) << "the provider did not start";
}

void PhoneDesk::TearDown() {
    phone.reset();
    farEnd.Close();
    farAgent.Stop();
    provider.Stop();
    DestroyWindow(window);
    WSACleanup();
}

phone::Settings PhoneDesk::Account(const std::string& password) const {
    phone::Settings settings;
    settings.user = "alice";
    settings.password = password;
    settings.domain = "127.0.0.1:" + std::to_string(Port.provider);
    settings.displayName = "Alice Liddell";
    settings.sipPort = static_cast<unsigned short>(Port.phoneSip);
    settings.rtpPortMin = static_cast<unsigned short>(Port.phoneRtpMin);
    settings.rtpPortMax = static_cast<unsigned short>(Port.phoneRtpMax);
    return settings;
}

bool PhoneDesk::StartProvider() {
    return provider.Start("sipprovider.sh", "sipagents\\phone-provider-" + std::to_string(Port.provider),
                          {std::to_string(Port.provider), "403"});
}

void PhoneDesk::StartPhone(phone::SoundFactory sound) {
    phone = std::make_unique<phone::Phone>(window, PhoneMessage, std::move(sound));
    ASSERT_TRUE(phone->Started());
}

void PhoneDesk::RegisterAlice(const std::string& password) {
    StartPhone();
    phone->Apply(Account(password));
    ASSERT_TRUE(WaitForRegistration(phone::Event::RegState::Registered)) << ShowEvents();
}

void PhoneDesk::Pump(DWORD timeoutMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_POSTMESSAGE);
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
        if (message.message == PhoneMessage) {
            std::vector<phone::Event> taken = phone->TakeEvents();
            events.insert(events.end(), taken.begin(), taken.end());
        }
    }
}

bool PhoneDesk::WaitForEvent(const std::function<bool(const phone::Event&)>& matches, phone::Event* found,
                             DWORD timeoutMs) {
    DWORD since = GetTickCount();
    for (;;) {
        for (; nextEvent < events.size(); ++nextEvent) {
            if (matches(events[nextEvent])) {
                if (found)
                    *found = events[nextEvent];
                ++nextEvent;
                return true;
            }
        }
        DWORD spent = GetTickCount() - since;
        if (spent >= timeoutMs)
            return false;
        Pump(std::min<DWORD>(100, timeoutMs - spent));
    }
}

bool PhoneDesk::WaitForRegistration(phone::Event::RegState state, phone::Event* found, DWORD timeoutMs) {
    return WaitForEvent(
        [&](const phone::Event& event) {
            return event.kind == phone::Event::Kind::Registration && event.registration == state;
        },
        found, timeoutMs);
}

bool PhoneDesk::WaitForCall(phone::Event::Kind kind, phone::CallId call, phone::Event* found,
                            DWORD timeoutMs) {
    return WaitForEvent(
        [&](const phone::Event& event) { return event.kind == kind && (!call || event.call == call); }, found,
        timeoutMs);
}

std::string PhoneDesk::ShowEvents() const {
    std::ostringstream text;
    text << "\nthe phone's events:";
    for (const phone::Event& event : events) {
        text << "\n  " << KindName(event.kind) << " call " << event.call;
        if (event.kind == phone::Event::Kind::Registration)
            text << " state " << static_cast<int>(event.registration);
        if (event.kind == phone::Event::Kind::Closed)
            text << " " << phone::Describe(event.end, event.code, event.reason) << " sent "
                 << event.packetsSent << " received " << event.packetsReceived;
        if (event.code || !event.reason.empty())
            text << " (" << event.code << " " << event.reason << ")";
        if (!event.peerUri.empty())
            text << " " << event.peerName << " <" << event.peerUri << ">";
    }
    return text.str();
}

void PhoneDesk::StartFarAgent() {
    AgentConfig config = LoopbackAgents(Port.base).farEnd;
    config.registrarPort = Port.provider;
    config.displayName = "Far Forty-Two";
    ASSERT_TRUE(farAgent.Start(config)) << "the far agent did not start";
    ASSERT_TRUE(farEnd.Connect(config.controlPort)) << test::ReadWholeFile(farAgent.LogPath());
    ASSERT_TRUE(farEnd.WaitUntilRegistered(Wait)) << "the far agent did not register";
}

} // namespace phonetest
