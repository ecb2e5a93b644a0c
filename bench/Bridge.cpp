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
#include "tests/common/SkypeTestSupport.h"
// The peer driver of the Skype tests.
#include "tests/common/SkypeTestSupport.h"

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
        uint32_t before = ReadHandset().framesByCommand[CmdIncomingCall];
        DWORD notified = GetTickCount();
        peer.Control("ring " + id + " alice");
        if (WaitForFrames(CmdIncomingCall, before + 1, 5000))
            rings.samples.push_back(GetTickCount() - notified);
        // A missed call releases the handset: connect, 500 ms, release.
        peer.Control("notify CALL " + id + " STATUS MISSED");
        WaitForHandset([](const HandsetView& view) { return !view.ringing && !view.inCall; }, 5000);
        Sleep(300);
    }
}

// The share of the machine's CPU time that was busy over ms milliseconds, in per cent of one CPU. The
// program's own times are not readable from another process under Wine, so its share is the difference
// between a measure with it and one without it.
double BusyPercentOfOneCpu(DWORD ms) {
    auto value = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    FILETIME idle0, kernel0, user0, idle1, kernel1, user1;
    GetSystemTimes(&idle0, &kernel0, &user0);
    Sleep(ms);
    GetSystemTimes(&idle1, &kernel1, &user1);
    // Kernel time includes idle time.
    ULONGLONG busy =
        (value(kernel1) - value(kernel0)) + (value(user1) - value(user0)) - (value(idle1) - value(idle0));
    return busy / 10000.0 / ms * 100.0;
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

    const DWORD idleMs = 10000;
    double withProgram = BusyPercentOfOneCpu(idleMs);
    program.Exit();
    Sleep(500);
    double without = BusyPercentOfOneCpu(idleMs);

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
    std::printf("Idle with a base in service and Skype attached, over %lu ms each:\n", idleMs);
    std::printf(
        "  machine busy with the program %.1f %%, without it %.1f %%: the program %.1f %% of one CPU\n",
        withProgram, without, withProgram - without);
    return 0;
}
