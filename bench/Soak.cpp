// A long run of complete calls through the real program, the simulated base and the Skype peer: incoming
// calls answered on the handset and outgoing calls dialled, each ended by the far end or on the handset in
// turn. Every 50 calls it samples the program's working set, its GDI and USER objects, its windows and its
// open handles (counted in the system's handle table: Wine answers GetProcessHandleCount with 0), and at
// the end prints the growth per 100 calls from the first 50 calls on. SoakBench.exe [CALLS] (default 1000).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/common/Program.h"
#include "tests/common/SkypeTestSupport.h"

namespace {

constexpr int DefaultCalls = 1000;
constexpr int SampleEvery = 50;
constexpr DWORD StepWaitMs = 8000;
constexpr uint8_t ReleaseEcho = 0x81;

struct Sample {
    int calls = 0;
    int failed = 0;
    SIZE_T workingSetKb = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    int windows = 0;
    ULONG handles = 0;
};

// The system's handle table (SystemHandleInformation), counted for one process.
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG SystemHandleInformation = 16;
constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004L);

ULONG OpenHandles(DWORD pid) {
    static auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<char> buffer(1 << 18);
    ULONG needed = 0;
    LONG status;
    while ((status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == InfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    ULONG owned = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].ownerPid == pid)
            ++owned;
    return owned;
}

// The program's windows, its own and their children: what USER objects it holds that Wine lets us see
// (Wine answers GetGuiResources with 0).
struct WindowCount {
    DWORD pid;
    int windows;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->windows;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    auto* count = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->pid) {
        ++count->windows;
        EnumChildWindows(window, CountChild, param);
    }
    return TRUE;
}

int Windows(DWORD pid) {
    WindowCount count = {pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

Sample Measure(DWORD pid, int calls, int failed) {
    Sample sample;
    sample.calls = calls;
    sample.failed = failed;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process) {
        PROCESS_MEMORY_COUNTERS memory = {};
        if (GetProcessMemoryInfo(process, &memory, sizeof memory))
            sample.workingSetKb = memory.WorkingSetSize / 1024;
        sample.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
        sample.userObjects = GetGuiResources(process, GR_USEROBJECTS);
        CloseHandle(process);
    }
    sample.windows = Windows(pid);
    sample.handles = OpenHandles(pid);
    return sample;
}

void Print(const Sample& sample) {
    std::printf(
        "calls %5d  failed %3d  working set %7lu KB  GDI %4lu  USER %4lu  windows %3d  handles %4lu\n",
        sample.calls, sample.failed, static_cast<unsigned long>(sample.workingSetKb), sample.gdiObjects,
        sample.userObjects, sample.windows, sample.handles);
    std::fflush(stdout);
}

bool Light(bool on) {
    return WaitForHandset([&](const HandsetView& view) { return view.callLight == on; }, StepWaitMs);
}

// The id of the call the program last asked the partner of: GET CALL {id} PARTNER_HANDLE.
std::string LastQueriedCall(skype_test::Peer& peer) {
    std::vector<std::string> sent = peer.Texts("RECV");
    for (auto text = sent.rbegin(); text != sent.rend(); ++text)
        if (text->rfind("GET CALL ", 0) == 0)
            return text->substr(9, text->find(' ', 9) - 9);
    return "";
}

// Ends call id from the far side or from the handset; answers the step that did not happen, or nullptr.
const char* End(skype_test::Peer& peer, const std::string& id, bool farEnd) {
    if (farEnd ? !peer.Control("hangup " + id) : !HandsetHangUp(ReleaseEcho))
        return "the end could not be given";
    if (!Light(false) || !peer.WaitForLine("SEND", "CALL " + id + " STATUS FINISHED", StepWaitMs))
        return "the call did not end";
    return nullptr;
}

// One call from start to end; the end from the far side or from the handset. Answers the step that did
// not happen, or nullptr when every step did.
const char* Incoming(skype_test::Peer& peer, int number, bool farEnd) {
    std::string id = std::to_string(5000 + number);
    if (!peer.Control("ring " + id + " alice") ||
        !WaitForHandset([](const HandsetView& view) { return view.ringing && view.caller == "alice"; },
                        StepWaitMs))
        return "the handset did not ring";
    if (!HandsetTakeLine() || !Light(true))
        return "the answer on the handset did not connect";
    return End(peer, id, farEnd);
}

const char* Outgoing(skype_test::Peer& peer, bool farEnd) {
    std::string before = LastQueriedCall(peer);
    for (char key : std::string("#123#"))
        if (!HandsetPressKey(static_cast<uint8_t>(key)))
            return "the base took no more keys";
    if (!Light(true))
        return "the dialled call did not connect";
    std::string id = LastQueriedCall(peer);
    if (id.empty() || id == before)
        return "Skype was not asked about the dialled call";
    return End(peer, id, farEnd);
}

void PrintGrowth(const Sample& first, const Sample& last) {
    int span = last.calls - first.calls;
    if (span <= 0)
        return;
    auto per100 = [span](double from, double to) { return (to - from) * 100.0 / span; };
    std::printf("growth per 100 calls (calls %d to %d): working set %+.1f KB  GDI %+.2f  USER %+.2f  "
                "windows %+.2f  handles %+.2f\n",
                first.calls, last.calls, per100(first.workingSetKb, last.workingSetKb),
                per100(first.gdiObjects, last.gdiObjects), per100(first.userObjects, last.userObjects),
                per100(first.windows, last.windows), per100(first.handles, last.handles));
}

} // namespace

int main(int argc, char** argv) {
    int calls = argc > 1 ? std::atoi(argv[1]) : DefaultCalls;
    SimReset();
    skype_test::SetSkypeKey(true);
    skype_test::Peer peer;
    test::Program program;
    if (!peer.Start("/answer 300") || !program.Start()) {
        std::printf("could not start the peer and the program\n");
        return 1;
    }
    if (!WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, 5000) ||
        !peer.WaitForLine("RECV", "GET USER echo123 ONLINESTATUS", 15000)) {
        std::printf("the program did not attach with its base\n");
        return 1;
    }
    DWORD pid = program.Proc().Id();
    std::printf("soak: %d calls (incoming answered on the handset, outgoing dialled; ended by either side)\n",
                calls);
    std::vector<Sample> samples{Measure(pid, 0, 0)};
    Print(samples.back());
    int failed = 0;
    DWORD start = GetTickCount();
    for (int call = 1; call <= calls; ++call) {
        bool farEnd = (call / 2) % 2 == 0;
        const char* failure = call % 2 ? Incoming(peer, call, farEnd) : Outgoing(peer, farEnd);
        if (failure) {
            ++failed;
            std::printf("call %d (%s, ended by %s) failed: %s\n", call, call % 2 ? "incoming" : "outgoing",
                        farEnd ? "the far end" : "the handset", failure);
            // Whatever is left of it ends before the next call starts.
            HandsetHangUp(ReleaseEcho);
            Light(false);
            Sleep(1000);
        }
        if (call % SampleEvery == 0 || call == calls) {
            samples.push_back(Measure(pid, call, failed));
            Print(samples.back());
        }
    }
    std::printf("%d calls in %lu s, %d failed\n", calls, (GetTickCount() - start) / 1000, failed);
    // The first 50 calls make what the program keeps for the whole run; growth counts from there.
    if (samples.size() > 2)
        PrintGrowth(samples[1], samples.back());
    program.Exit();
    peer.Quit();
    return failed == 0 ? 0 : 1;
}
