#include "sim/shared/SimMapping.h"

#include <cstring>

namespace {

// The mapping: the lock's word ahead of the state, so that a reset of the state leaves the lock alone.
struct SharedSim {
    volatile LONG owner; // the id of the thread that holds the lock, 0 while it is free
    LONG depth;          // how often the owner has taken it; only the owner touches it
    SimState state;
};

// How long a waiter trusts the owner before it looks whether the owner's thread still exists.
constexpr DWORD OwnerCheckMs = 50;
// A holder keeps the lock for a few register accesses: a waiter only yields at first, then sleeps.
constexpr int YieldingTries = 50;

bool ThreadGone(LONG id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (!thread)
        return true;
    bool ended = WaitForSingleObject(thread, 0) != WAIT_TIMEOUT;
    CloseHandle(thread);
    return ended;
}

void Take(SharedSim& shared) {
    LONG self = static_cast<LONG>(GetCurrentThreadId());
    // Held already: this thread (in the library or in the process that drives it) takes it once more.
    if (shared.owner == self) {
        ++shared.depth;
        return;
    }
    DWORD lastCheck = GetTickCount();
    for (int tries = 0;; ++tries) {
        LONG held = InterlockedCompareExchange(&shared.owner, self, 0);
        if (held == 0)
            break;
        if (GetTickCount() - lastCheck >= OwnerCheckMs) {
            lastCheck = GetTickCount();
            if (ThreadGone(held) && InterlockedCompareExchange(&shared.owner, self, held) == held)
                break;
        }
        if (tries < YieldingTries)
            SwitchToThread();
        else
            Sleep(1);
    }
    shared.depth = 1;
}

void Give(SharedSim& shared) {
    if (shared.owner != static_cast<LONG>(GetCurrentThreadId()))
        return;
    if (--shared.depth == 0)
        InterlockedExchange(&shared.owner, 0);
}

SharedSim* MapShared() {
    static SharedSim* shared = [] {
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(SharedSim), SimMappingName);
        if (!mapping)
            return static_cast<SharedSim*>(nullptr);
        // The mapping handle stays open for the life of the process, so the state outlives no user.
        auto* view =
            static_cast<SharedSim*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedSim)));
        if (view) {
            Take(*view);
            if (view->state.magic != SimMagic)
                ResetSimState(view->state);
            Give(*view);
        }
        return view;
    }();
    return shared;
}

} // namespace

SimLock::SimLock() {
    if (SharedSim* shared = MapShared())
        Take(*shared);
}

SimLock::~SimLock() {
    if (SharedSim* shared = MapShared())
        Give(*shared);
}

void ResetSimState(SimState& state) {
    std::memset(&state, 0, sizeof state);
    state.magic = SimMagic;
    SimConfig& config = state.config;
    config.productId = 50076;
    config.plugged = 1;
    config.attachAnswer = -1;
    config.mixerAnswer = 1;
    config.setNameAnswer = 1;
    config.setShortNameAnswer = 1;
    std::strcpy(config.serial, "TRL400-00042");
    config.speakerLevel = 40000;
    config.micLevel = 30000;
    state.chip.busBehaviour = BusAwake;
    state.chip.ident[0] = 0x34;
    state.chip.ident[1] = 0x12;
    state.chip.nibbleHoldMs = 25; // far above the reader's 3 ms tick, even when Wine schedules it late
    // A reader that a loaded test machine holds off for longer than two holds would lose whole key frames.
    state.chip.readerGraceMs = 1000;
    std::memset(state.firmware.display, ' ', 12);
    state.firmware.lastReleaseAck = -1;
}

SimState* MapSimState() {
    SharedSim* shared = MapShared();
    return shared ? &shared->state : nullptr;
}
