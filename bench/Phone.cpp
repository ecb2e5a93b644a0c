// SipLink's own phone against the loopback provider (Kamailio with digest authentication), timed: the
// registration (Register() to the Registered event on the window thread: a new endpoint, the REGISTER, its
// 401 challenge and the 200), and a dialled call's INVITE (Dial() on the window thread to the INVITE's
// arrival in the provider's log, which times it with the same clock). Prints min, median and max.
#include <winsock2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/sip/agent/ScriptProcess.h"
#include "siplink/phone/Phone.h"
#include "support/Clock.h"
#include "tests/common/TestSupport.h"

namespace {

constexpr int Rounds = 20;
constexpr DWORD Wait = 10000;
constexpr UINT PhoneMessage = WM_APP + 7;

// Seconds since 1970 (UTC), as the provider's log writes them.
double UnixSeconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return (ticks.QuadPart - 116444736000000000ull) / 1e7;
}

class Desk {
  public:
    explicit Desk(HWND window) : window(window), phone(window, PhoneMessage) {}

    // Until an event of this kind (and state) comes; false when none came in time.
    bool WaitFor(phone::Event::Kind kind, phone::Event::RegState state = phone::Event::RegState::Registered) {
        DWORD since = GetTickCount();
        while (GetTickCount() - since < Wait) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
            MSG message;
            while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
                if (message.message == PhoneMessage)
                    for (const phone::Event& event : phone.TakeEvents())
                        waiting.push_back(event);
            for (size_t i = 0; i < waiting.size(); ++i) {
                if (waiting[i].kind == kind &&
                    (kind != phone::Event::Kind::Registration || waiting[i].registration == state)) {
                    waiting.erase(waiting.begin(), waiting.begin() + i + 1);
                    return true;
                }
            }
        }
        return false;
    }

    HWND window;
    phone::Phone phone;
    std::vector<phone::Event> waiting;
};

void Print(const char* what, std::vector<double> times) {
    if (times.empty()) {
        std::printf("%-44s no figures\n", what);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s %8.1f %9.1f %8.1f   (n=%zu)\n", what, times.front(), times[times.size() / 2],
                times.back(), times.size());
}

// The first INVITE the provider logged after `since` (seconds since 1970), 0 when none.
double InviteAfter(const std::string& log, double since) {
    const std::string mark = "INVITE-ARRIVED ";
    for (size_t at = 0; (at = log.find(mark, at)) != std::string::npos; at += mark.size()) {
        double arrived = std::atof(log.c_str() + at + mark.size());
        if (arrived >= since)
            return arrived;
    }
    return 0;
}

} // namespace

int main() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const int base = test::TestPort(test::FirstTestPort);
    const int providerPort = base + 90;
    ScriptProcess provider;
    if (!provider.Start("sipprovider.sh", "sipagents\\phonebench-provider-" + std::to_string(providerPort),
                        {std::to_string(providerPort), "403"})) {
        std::printf("the provider did not start\n");
        return 1;
    }
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Desk desk(window);
    phone::Settings alice;
    alice.user = "alice";
    alice.password = "alicepw";
    alice.domain = "127.0.0.1:" + std::to_string(providerPort);
    alice.sipPort = static_cast<unsigned short>(base + 10);
    alice.rtpPortMin = static_cast<unsigned short>(base + 20);
    alice.rtpPortMax = static_cast<unsigned short>(base + 59);
    desk.phone.Apply(alice);
    if (!desk.WaitFor(phone::Event::Kind::Registration)) {
        std::printf("the phone did not register\n");
        return 1;
    }

    std::vector<double> registration;
    for (int round = 0; round < Rounds; ++round) {
        double start = NowMs();
        desk.phone.Register();
        if (!desk.WaitFor(phone::Event::Kind::Registration))
            break;
        registration.push_back(NowMs() - start);
    }

    std::vector<double> invite;
    const std::string log = provider.Path("log");
    for (int round = 0; round < Rounds; ++round) {
        double dialledAt = UnixSeconds();
        desk.phone.Dial("nobody-here"); // the provider answers 404 after the challenge
        if (!desk.WaitFor(phone::Event::Kind::Closed))
            break;
        double arrived = 0;
        test::WaitUntil([&] { return (arrived = InviteAfter(test::ReadWholeFile(log), dialledAt)) > 0; },
                        Wait);
        if (arrived > 0)
            invite.push_back((arrived - dialledAt) * 1000);
    }

    std::printf("%-44s %8s %9s %8s\n", "SipLink's phone (libre) on loopback", "min ms", "median ms",
                "max ms");
    Print("Register() to Registered (401 + 200)", registration);
    Print("Dial() to the INVITE at the provider", invite);
    DestroyWindow(window);
    return 0;
}
