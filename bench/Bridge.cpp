// Through the real program, the simulated base and the Skype peer: how long a handset key takes to become
// the Skype command it causes, how long a RINGING notification takes to ring the handset, and the
// program's CPU use while idle with a base in service.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "dect/PacketLink.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/common/Program.h"
#include "tests/skype/SkypeTestSupport.h"
// The peer driver of the Skype tests.
#include "tests/skype/SkypeTestSupport.cpp"

namespace {

constexpr int Rounds = 10;
constexpr DWORD ReceivePacingMs = ReceivePauseMs; // the packet layer's pause between receive attempts
constexpr DWORD CommandPacingMs = 200;            // one Skype command per pump tick
constexpr DWORD EventPollMs = 5;                  // the handset event thread's idle poll

struct Stats {
    std::vector<DWORD> samples;
    void Print(const char* what) {
        if (samples.empty()) {
            std::printf("%-52s no samples\n", what);
            return;
        }
        std::sort(samples.begin(), samples.end());
        DWORD sum = 0;
        for (DWORD sample : samples)
            sum += sample;
        std::printf("%-52s min %4lu  median %4lu  mean %4lu  max %4lu ms  (%zu runs)\n", what,
                    samples.front(), samples[samples.size() / 2], sum / samples.size(), samples.back(),
                    samples.size());
    }
};

// The peer's clock (ms since it started) in GetTickCount terms: a control command is logged while the
// sender waits for it.
long PeerClockOffset(skype_test::Peer& peer, const std::string& control) {
    DWORD sent = GetTickCount();
    peer.Control(control);
    std::vector<skype_test::PeerLine> lines = peer.Lines("CONTROL");
    return lines.empty() ? 0 : static_cast<long>(sent) - static_cast<long>(lines.back().ms);
}

// When the peer received this command, in GetTickCount terms (0 while it has not).
DWORD ReceivedAt(skype_test::Peer& peer, const std::string& command, long offset, size_t from) {
    std::vector<skype_test::PeerLine> lines = peer.Lines("RECV");
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].text == command)
            return static_cast<DWORD>(static_cast<long>(lines[i].ms) + offset);
    return 0;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(1);
    }
    return true;
}

void MeasureKeys(skype_test::Peer& peer, Stats& fromPress, Stats& fromDelivery) {
    for (int round = 0; round < Rounds; ++round) {
        std::string digits = std::to_string(10 + round);
        for (char key : "#" + digits)
            HandsetPressKey(static_cast<uint8_t>(key));
        WaitUntilBaseSent(5000);
        Sleep(300);
        long offset = PeerClockOffset(peer, "answer never");
        size_t from = peer.Lines("RECV").size();
        DWORD pressed = GetTickCount();
        HandsetPressKey('#');
        WaitUntilBaseSent(5000);
        DWORD delivered = GetTickCount();
        DWORD received = 0;
        WaitFor([&] { return (received = ReceivedAt(peer, "CALL " + digits, offset, from)) != 0; }, 5000);
        if (received) {
            fromPress.samples.push_back(received - pressed);
            fromDelivery.samples.push_back(received > delivered ? received - delivered : 0);
        }
        // End the call the key placed before the next round.
        WaitFor([&] { return peer.Lines("RECV").back().text.rfind("GET CALL", 0) == 0; }, 3000);
        HandsetPressKey('B');
        WaitUntilBaseSent(5000);
        Sleep(600);
    }
}

void MeasureRings(skype_test::Peer& peer, Stats& rings) {
    for (int round = 0; round < Rounds; ++round) {
        std::string id = std::to_string(500 + round);
        DWORD notified = GetTickCount();
        peer.Control("ring " + id + " alice");
        if (WaitForHandset([](const HandsetView& view) { return view.ringing; }, 5000))
            rings.samples.push_back(GetTickCount() - notified);
        peer.Control("hangup " + id);
        WaitForHandset([](const HandsetView& view) { return !view.ringing; }, 5000);
        Sleep(700); // the missed call's connect, 500 ms pause and release
    }
}

ULONGLONG CpuTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

} // namespace

int main() {
    SimReset();
    skype_test::SetSkypeKey(true);
    skype_test::Peer peer;
    test::Program program;
    if (!peer.Start() || !program.Start()) {
        std::printf("could not start the peer and the program\n");
        return 1;
    }
    if (!WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, 5000) ||
        !peer.WaitForLine("RECV", "GET USER echo123 ONLINESTATUS", 10000)) {
        std::printf("the program did not attach with its base\n");
        return 1;
    }
    Sleep(500);

    Stats fromPress, fromDelivery, rings;
    MeasureKeys(peer, fromPress, fromDelivery);
    MeasureRings(peer, rings);

    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, program.Proc().Id());
    const DWORD idleMs = 10000;
    ULONGLONG before = CpuTime(process);
    Sleep(idleMs);
    double cpuPercent = (CpuTime(process) - before) / 10000.0 / idleMs * 100.0;
    CloseHandle(process);

    std::printf("Handset key to Skype command\n");
    fromPress.Print("  key queued at the base -> command at Skype");
    fromDelivery.Print("  key frame delivered -> command at Skype");
    std::printf("  bound after delivery: event poll %lu + receive pacing %lu + command pacing %lu = %lu ms\n",
                EventPollMs, ReceivePacingMs, CommandPacingMs,
                EventPollMs + ReceivePacingMs + CommandPacingMs);
    std::printf("RINGING notification to the handset ringing\n");
    rings.Print("  ring notified -> handset rings");
    std::printf("  bound: command pacing %lu ms for the partner query, plus the ring frame on the channel\n",
                CommandPacingMs);
    std::printf("Idle with a base in service and Skype attached: %.1f %% of one CPU over %lu ms\n",
                cpuPercent, idleMs);
    program.Exit();
    return 0;
}
