// Through the real program, the simulated base and the Skype peer: how long a handset key takes to become
// the Skype command it causes, next to the channel's own floor; how long a RINGING notification takes to
// ring the handset; and the program's idle cost with a base in service and Skype attached, next to a bare
// program that only polls register 18 as the hardware forces.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/support/LinuxCpu.h"
#include "dect/PacketLink.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/common/Program.h"
#include "tests/common/SkypeTestSupport.h"

namespace {

constexpr int Calls = 20;
constexpr int KeysPerCall = 6;   // 120 keys in all
constexpr int KeyFrameBytes = 8; // '$' '$' length, command, 0x00, 0x01, key, checksum
constexpr DWORD IdleSeconds = 20;
constexpr const char* BarePollerName = "BarePoller.exe";

struct Stats {
    std::vector<double> samples;
    // The value below which the share p of the samples lie (nearest rank).
    double Percentile(double p) const {
        std::vector<double> sorted = samples;
        std::sort(sorted.begin(), sorted.end());
        size_t rank = static_cast<size_t>(p * sorted.size() + 0.999999);
        return sorted[std::min(sorted.size(), std::max<size_t>(rank, 1)) - 1];
    }
    void Print(const char* what) const {
        if (samples.empty()) {
            std::printf("  %-44s no samples\n", what);
            return;
        }
        std::printf("  %-44s p50 %5.0f  p99 %5.0f  max %5.0f ms  (%zu samples)\n", what, Percentile(0.5),
                    Percentile(0.99), Percentile(1.0), samples.size());
    }
};

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(pollMs);
    }
    return true;
}

// The peer's clock counts ms since it started; this is its start in GetTickCount terms, read from the log
// line of a control command logged while the sender waits.
long PeerClockStart(skype_test::Peer& peer) {
    DWORD sent = GetTickCount();
    peer.Control("answer never");
    std::vector<PeerLine> lines = peer.Lines("CONTROL");
    return lines.empty() ? 0 : static_cast<long>(sent) - static_cast<long>(lines.back().ms);
}

// When the peer received this command after its first `from` commands, in GetTickCount terms; 0 if not yet.
DWORD ReceivedAt(const skype_test::Peer& peer, const std::string& command, long peerStart, size_t from) {
    std::vector<PeerLine> lines = peer.Lines("RECV");
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].text == command)
            return static_cast<DWORD>(static_cast<long>(lines[i].ms) + peerStart);
    return 0;
}

uint32_t RingFramesAtBase() {
    return WithSim([](SimState& state) { return state.firmware.framesByCommand[CmdIncomingCall]; });
}

// From the RINGING notification to the base holding the incoming-call frame.
bool MeasureRing(skype_test::Peer& peer, const std::string& id, Stats& rings) {
    uint32_t before = RingFramesAtBase();
    DWORD notified = GetTickCount();
    peer.Control("ring " + id + " alice");
    if (!WaitFor([&] { return RingFramesAtBase() > before; }, 5000, 1))
        return false;
    rings.samples.push_back(GetTickCount() - notified);
    return true;
}

// One key while the call is in progress: from its frame leaving the base to its DTMF command at the peer.
// Keys leave at varying times after the last command, as a user's would.
bool MeasureKey(skype_test::Peer& peer, const std::string& id, char key, DWORD pauseMs, long peerStart,
                Stats& keys) {
    WaitUntilBaseSent(5000);
    Sleep(pauseMs);
    size_t from = peer.Lines("RECV").size();
    DWORD pressed = GetTickCount();
    HandsetPressKey(static_cast<uint8_t>(key));
    DWORD received = 0;
    std::string command = "SET CALL " + id + " DTMF " + key;
    if (!WaitFor([&] { return (received = ReceivedAt(peer, command, peerStart, from)) != 0; }, 5000, 5))
        return false;
    keys.samples.push_back(static_cast<double>(static_cast<long>(received - pressed)));
    return true;
}

// Incoming calls, each taken on the handset, keyed and ended by the handset. A key whose command never
// comes counts as lost (the channel misses nibbles when its reader polls too slowly); the far end then
// ends the call, so that the next one starts from idle.
int MeasureCalls(skype_test::Peer& peer, Stats& keys, Stats& rings) {
    long peerStart = PeerClockStart(peer);
    unsigned spread = 12345; // a fixed sequence of pauses, the same in every run
    int lost = 0;
    for (int call = 0; call < Calls; ++call) {
        std::string id = std::to_string(500 + call);
        bool ended = false;
        if (MeasureRing(peer, id, rings) && HandsetTakeLine() &&
            WaitForHandset([](const HandsetView& view) { return view.callLight; }, 5000)) {
            for (int k = 0; k < KeysPerCall; ++k) {
                spread = spread * 1103515245u + 12345u;
                DWORD pauseMs = 250 + (spread >> 16) % 400;
                char key = static_cast<char>('0' + (call * KeysPerCall + k) % 10);
                if (!MeasureKey(peer, id, key, pauseMs, peerStart, keys))
                    ++lost;
            }
            WaitUntilBaseSent(5000);
            HandsetHangUp(7);
            ended = peer.WaitForLine("RECV", "SET CALL " + id + " STATUS FINISHED", 3000);
        } else {
            std::printf("call %s: no ring or not taken\n", id.c_str());
            lost += KeysPerCall;
        }
        if (!ended)
            peer.Control("hangup " + id);
        WaitForHandset([](const HandsetView& view) { return !view.ringing && !view.callLight; }, 3000);
        Sleep(300);
    }
    return lost;
}

struct IdleCost {
    double processMs = -1;
    double serverMs = -1;
    double pollsPerSecond = 0;
    double Percent() const { return (processMs + serverMs) / (IdleSeconds * 10.0); }
};

// CPU time of the process and the Wine server over IdleSeconds, with the register reads made meanwhile.
IdleCost MeasureIdle(int pid, int server) {
    auto transfers = [] { return WithSim([](SimState& state) { return state.registerTransfers; }); };
    IdleCost cost;
    double process0 = bench::ProcessCpuMs(pid), server0 = bench::ProcessCpuMs(server);
    uint32_t transfers0 = transfers();
    DWORD start = GetTickCount();
    Sleep(IdleSeconds * 1000);
    double seconds = (GetTickCount() - start) / 1000.0;
    cost.pollsPerSecond = (transfers() - transfers0) / seconds;
    double process1 = bench::ProcessCpuMs(pid), server1 = bench::ProcessCpuMs(server);
    if (process0 >= 0 && process1 >= 0)
        cost.processMs = process1 - process0;
    if (server0 >= 0 && server1 >= 0)
        cost.serverMs = server1 - server0;
    return cost;
}

void PrintIdle(const char* what, const IdleCost& cost) {
    std::printf(
        "  %-24s process %6.0f ms + Wine server %6.0f ms = %5.2f %% of one CPU; %.0f register reads/s\n",
        what, cost.processMs, cost.serverMs, cost.Percent(), cost.pollsPerSecond);
}

// The machine's load as Linux reports it (1, 5 and 15 minutes).
std::string Load() {
    FILE* file = std::fopen("Z:\\proc\\loadavg", "rb");
    char text[64] = "";
    if (file) {
        size_t count = std::fread(text, 1, sizeof text - 1, file);
        text[count] = '\0';
        std::fclose(file);
    }
    std::string load = text;
    size_t cut = 0;
    for (int field = 0; field < 3 && cut != std::string::npos; ++field)
        cut = load.find(' ', cut + 1);
    return load.substr(0, cut);
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

    Stats keys, rings;
    std::string loadBefore = Load();
    int lostKeys = MeasureCalls(peer, keys, rings);
    std::string loadAfterCalls = Load();

    // Idle: the program with its base in service and Skype attached, then the bare poller in its place.
    Sleep(2000);
    int server = bench::FindWineServer();
    std::vector<int> programs = bench::FindPrefixProcesses({"DectBridge.exe"});
    IdleCost programIdle = MeasureIdle(programs.size() == 1 ? programs[0] : 0, server);
    std::string loadProgramIdle = Load();
    program.Exit();
    test::Process poller;
    IdleCost bareIdle;
    if (poller.Start(test::BinDir() + "\\" + BarePollerName, std::to_string(IdleSeconds + 5))) {
        Sleep(2000);
        std::vector<int> pollers = bench::FindPrefixProcesses({BarePollerName});
        bareIdle = MeasureIdle(pollers.size() == 1 ? pollers[0] : 0, server);
        poller.Wait(10000);
    }
    std::string loadBareIdle = Load();

    double floorMs = KeyFrameBytes * 2.0 * WithSim([](SimState& state) { return state.chip.nibbleHoldMs; });
    std::printf("Handset key to Skype command (load %s before, %s after)\n", loadBefore.c_str(),
                loadAfterCalls.c_str());
    keys.Print("key frame leaves the base -> command at Skype");
    std::printf("  keys without a command: %d of %d\n", lostKeys, Calls * KeysPerCall);
    std::printf("  floor: %d frame bytes x %.0f ms a byte = %.0f ms; goal p50 <= %.0f, p99 <= %.0f ms\n",
                KeyFrameBytes, floorMs / KeyFrameBytes, floorMs, 1.1 * floorMs + 20, 1.5 * floorMs);
    std::printf("RINGING notification to the base holding the incoming-call frame\n");
    rings.Print("RINGING -> incoming-call frame at the base");
    std::printf("  goal p50 <= 60 ms\n");
    std::printf("Idle with a base in service and Skype attached, over %lu s each (Linux CPU accounting)\n",
                IdleSeconds);
    PrintIdle("DectBridge.exe:", programIdle);
    std::printf("    load %s\n", loadProgramIdle.c_str());
    PrintIdle("bare register-18 poller:", bareIdle);
    std::printf("    load %s\n", loadBareIdle.c_str());
    if (programIdle.processMs >= 0 && bareIdle.processMs >= 0 && bareIdle.Percent() > 0)
        std::printf("  ratio program / bare poller: %.2f (goal <= 1.3)\n",
                    programIdle.Percent() / bareIdle.Percent());
    else
        std::printf("  ratio not measured: a process or the Wine server was not found in /proc\n");
    std::printf("  the program's channel reader polled register 18 %.0f times a second (a 3 ms tick: 333)\n",
                programIdle.pollsPerSecond);
    return 0;
}
