// A call's two waits as the user at the handset feels them, through a SIP line and through the Skype peer:
// from the last key of a dialled number to the far end ringing, and from the far end answering to the
// handset's call light. The real DectBridge.exe runs over the simulated base either way; the SIP line is
// SipLink.exe with a real far end (baresip) on loopback, through the loopback provider (Kamailio with digest
// authentication, SipLink registering a stored account). The last key's frame
// crossing the simulated base (about 380 ms) dominates every road. Through the provider the program's trace
// and the provider's log time the INVITE's arrival against the key and against its frame reaching the
// program; a CALL typed within 200 ms of another command waits for the program's command pace. SipLink's
// log gives the registration's time, the program's CALL to the phone's dial, and the post-dial delay (the
// dial to the first 18x event).
#include <winsock2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "sim/control/HandsetControl.h"
#include "sim/control/PeerControl.h"
#include "sim/control/SimControl.h"
#include "siplink/account/AccountStore.h"
#include "siplink/account/AccountWindow.h"
#include "tools/sip/agent/AgentClient.h"
#include "tools/sip/agent/AgentProcess.h"
#include "tools/sip/agent/SipLinkEnd.h"
#include "support/Clock.h"
#include "tests/common/Program.h"
#include "tests/common/SkypeTestSupport.h"

namespace {

constexpr int Rounds = 5;
constexpr DWORD Wait = 5000;
constexpr const char* SipLinkLogPath = "c:\\temp\\SipBenchLink.log";

// How one far end is driven: dial from the handset, see it ring, answer, end the call.
struct Road {
    const char* name;
    std::function<bool()> farRings;   // waits until the far end rings
    std::function<bool()> farAnswers; // the far end answers (the clock starts just before)
    std::function<bool()> farHangsUp;
};

struct Figures {
    std::vector<double> ring, answer;
    std::vector<double> lastKeyAt; // UTC time of day (ms) the last key was pressed
};

constexpr double DayMs = 24 * 3600 * 1000.0;

double DayMsOf(const SYSTEMTIME& time) {
    return ((time.wHour * 60 + time.wMinute) * 60 + time.wSecond) * 1000.0 + time.wMilliseconds;
}

// The one clock the bench, the program's trace and the provider's log share: UTC time of day in ms.
double UtcDayMs() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return DayMsOf(now);
}

bool Light(bool on) {
    return WaitForHandset([&](const HandsetView& view) { return view.callLight == on; }, Wait);
}

// Types the number with '#' before it, then the last key '#' on the clock. Answers what did not happen,
// "" when the round completed.
std::string MeasureRound(const Road& road, const std::string& number, Figures& figures) {
    // One key at a time: a key pressed while the same key is still on its way can be lost.
    for (char key : "#" + number)
        if (!HandsetPressKey(static_cast<uint8_t>(key)) || !WaitUntilBaseSent(Wait))
            return "the base did not send a key";
    double start = NowMs();
    figures.lastKeyAt.push_back(UtcDayMs());
    if (!HandsetPressKey('#') || !road.farRings())
        return "the far end did not ring";
    figures.ring.push_back(NowMs() - start);
    Sleep(300);
    start = NowMs();
    if (!road.farAnswers() || !Light(true))
        return "the call light did not come on";
    figures.answer.push_back(NowMs() - start);
    if (!road.farHangsUp() || !Light(false))
        return "the call light did not go off";
    // The program is back to its idle state once the handset's release is through.
    return WaitUntilBaseSent(Wait) ? "" : "the base kept the release";
}

void Print(const char* road, const char* what, std::vector<double> times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    std::printf("%-11s %-34s %8.1f %9.1f %8.1f\n", road, what, times.front(), times[times.size() / 2],
                times.back());
}

bool Run(const Road& road, const std::string& number, test::Program& program, Figures& figures) {
    if (!program.Start() || !WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, Wait)) {
        std::printf("%s: the program did not attach\n", road.name);
        return false;
    }
    for (int round = 0; round < Rounds; ++round) {
        std::string failure = MeasureRound(road, number, figures);
        if (!failure.empty()) {
            std::printf("%s: round %d: %s\n", road.name, round + 1, failure.c_str());
            return false;
        }
        Sleep(300);
    }
    Print(road.name, "last key -> far end rings", figures.ring);
    Print(road.name, "far end answers -> call light", figures.answer);
    return program.Exit();
}

// The milliseconds of SipLink's log lines ("MS TAG TEXT") holding `first`, each paired with the first
// line after it holding `then`: the times between.
std::vector<double> LogGaps(const std::string& log, const std::string& first, const std::string& then) {
    std::vector<double> gaps;
    for (size_t at = 0; (at = log.find(first, at)) != std::string::npos;) {
        size_t line = log.rfind('\n', at);
        line = line == std::string::npos ? 0 : line + 1;
        size_t next = log.find(then, at);
        if (next == std::string::npos)
            break;
        size_t nextLine = log.rfind('\n', next) + 1;
        gaps.push_back(std::atof(log.c_str() + nextLine) - std::atof(log.c_str() + line));
        at = next;
    }
    return gaps;
}

// The UTC times of day (ms) of the frames in the program's trace (local time, "hh:mm:ss:mmm ...") that
// brought the handset's '#' key.
std::vector<double> HashKeyFrames(const std::string& trace) {
    TIME_ZONE_INFORMATION zone;
    DWORD mode = GetTimeZoneInformation(&zone);
    LONG biasMinutes = zone.Bias + (mode == TIME_ZONE_ID_DAYLIGHT   ? zone.DaylightBias
                                    : mode == TIME_ZONE_ID_STANDARD ? zone.StandardBias
                                                                    : 0);
    const std::string frame = "[DECT -> MAIN] : 24 24 05 01 00 01 23 ";
    std::vector<double> times;
    for (size_t at = 0; (at = trace.find(frame, at)) != std::string::npos; at += frame.size()) {
        size_t line = trace.rfind('\n', at);
        line = line == std::string::npos ? 0 : line + 1;
        SYSTEMTIME local = {};
        int hour, minute, second, ms;
        if (std::sscanf(trace.c_str() + line, "%d:%d:%d:%d", &hour, &minute, &second, &ms) != 4)
            continue;
        local.wHour = static_cast<WORD>(hour);
        local.wMinute = static_cast<WORD>(minute);
        local.wSecond = static_cast<WORD>(second);
        local.wMilliseconds = static_cast<WORD>(ms);
        times.push_back(std::fmod(DayMsOf(local) + biasMinutes * 60000.0 + DayMs, DayMs));
    }
    return times;
}

// The UTC times of day (ms) of the INVITEs the provider logged on arrival (seconds since 1970).
std::vector<double> InviteArrivals(const std::string& log) {
    const std::string mark = "INVITE-ARRIVED ";
    std::vector<double> times;
    for (size_t at = 0; (at = log.find(mark, at)) != std::string::npos; at += mark.size())
        times.push_back(std::fmod(std::atof(log.c_str() + at + mark.size()) * 1000.0, DayMs));
    return times;
}

// Each INVITE paired with the latest of `before` ahead of it, each of those used once: a challenged
// INVITE is sent again, and the first one is the one that left on the key.
std::vector<double> InviteGaps(std::vector<double> before, const std::vector<double>& invites) {
    std::sort(before.begin(), before.end());
    std::vector<double> gaps;
    double lastUsed = -1;
    for (double invite : invites) {
        auto after = std::upper_bound(before.begin(), before.end(), invite);
        if (after == before.begin() || *(after - 1) == lastUsed)
            continue;
        lastUsed = *(after - 1);
        gaps.push_back(invite - lastUsed);
    }
    return gaps;
}

// Registers the account again as often as the rounds, as applying a changed account does (its interval
// one second longer or shorter each time), each time waiting for the provider's answer: the log then holds
// as many registrations to time.
void RegisterAgain(const std::string& logPath) {
    const std::string registered = "PHONE registered";
    auto count = [&] {
        std::string log = test::ReadWholeFile(logPath);
        size_t n = 0;
        for (size_t at = 0; (at = log.find(registered, at)) != std::string::npos; at += registered.size())
            ++n;
        return n;
    };
    for (int round = 0; round < Rounds; ++round) {
        size_t before = count();
        Account account = LoadAccount();
        account.registerSeconds += round % 2 ? -1 : 1;
        SaveAccount(account);
        PostMessageA(FindWindowA("SipLinkMain", nullptr), AccountChangedMessage(), 0, 0);
        if (!test::WaitUntil([&] { return count() > before; }, Wait))
            std::printf("provider: registering again brought no answer\n");
    }
}

bool RunProvider() {
    const int base = 36500, providerPort = base + 90;
    const std::string nearAddress = "sip:alice@127.0.0.1:" + std::to_string(providerPort);
    AgentConfig farConfig = LoopbackAgents(base).farEnd;
    farConfig.registrarPort = providerPort;
    ScriptProcess provider;
    AgentProcess farAgent;
    AgentClient farEnd;
    test::Process sipLink;
    DeleteFileA(SipLinkLogPath);
    bool ok =
        SaveAccount(LoopbackAccount(providerPort)) &&
        provider.Start("sipprovider.sh", "sipagents\\provider", {std::to_string(providerPort), "403"}) &&
        farAgent.Start(farConfig) && farEnd.Connect(farConfig.controlPort) &&
        sipLink.Start(test::BinDir() + "\\SipLink.exe", std::string("--log ") + SipLinkLogPath);
    if (!ok) {
        std::printf("provider: the provider, the far agent or SipLink did not start\n");
    } else {
        test::Program program;
        Road road{"provider", [&] { return farEnd.WaitForEvent("CALL_INCOMING", Wait); },
                  [&] { return farEnd.Command("accept"); }, [&] { return farEnd.Command("hangup"); }};
        Figures figures;
        ok = Run(road, farConfig.name, program, figures);
        std::vector<double> invites = InviteArrivals(test::ReadWholeFile(provider.Path("log")));
        Print("provider", "last key -> INVITE at provider", InviteGaps(figures.lastKeyAt, invites));
        Print("provider", "key frame at program -> INVITE",
              InviteGaps(HashKeyFrames(test::ReadWholeFile(program.TraceFile())), invites));
        RegisterAgain(SipLinkLogPath);
        std::string log = test::ReadWholeFile(SipLinkLogPath);
        Print("provider", "account applied -> registered",
              LogGaps(log, " ACCOUNT stored anew", "PHONE registered"));
        Print("provider", "program's CALL -> dial to phone", LogGaps(log, " RECV CALL ", " Dialling "));
        Print("provider", "dial -> first 18x (post-dial delay)",
              LogGaps(log, " Dialling ", "PHONE progress"));
    }
    AskSipLinkToEnd(sipLink.Id());
    if (sipLink.Wait(5000) == STILL_ACTIVE)
        sipLink.Kill();
    farAgent.Stop();
    provider.Stop();
    RegDeleteTreeA(HKEY_CURRENT_USER, AccountKeyPath);
    return ok;
}

bool RunSkype() {
    skype_test::SetSkypeKey(true);
    skype_test::Peer peer;
    if (!peer.Start("/answer never")) {
        std::printf("Skype peer: did not start\n");
        return false;
    }
    // The peer numbers its calls 101, 102, ... and rings the far end the moment it takes a CALL command.
    int calls = 0;
    auto callCommands = [&] {
        std::vector<std::string> received = peer.Texts("RECV");
        return std::count_if(received.begin(), received.end(),
                             [](const std::string& command) { return command.rfind("CALL ", 0) == 0; });
    };
    auto id = [&] { return std::to_string(100 + calls); };
    Road road{"Skype peer",
              [&] {
                  bool rang = test::WaitUntil([&] { return callCommands() > calls; }, Wait);
                  ++calls;
                  return rang;
              },
              [&] { return peer.Control("notify CALL " + id() + " STATUS INPROGRESS"); },
              [&] { return peer.Control("hangup " + id()); }};
    test::Program program;
    Figures figures;
    return Run(road, LoopbackAgents(36000).farNumber, program, figures); // the same keys as on the SIP road
}

} // namespace

int main() {
    SimReset();
    std::printf("%-11s %-34s %8s %9s %8s\n", "road", "wait", "min ms", "median ms", "max ms");
    bool ok = RunProvider();
    SimReset();
    ok = RunSkype() && ok;
    return ok ? 0 : 1;
}
