#include "sim/shared/SimMapping.h"

#include <cstring>

namespace {
HANDLE LockHandle() {
    static HANDLE mutex = CreateMutexA(nullptr, FALSE, SimLockName);
    return mutex;
}
} // namespace

SimLock::SimLock() : mutex(LockHandle()) {
    // An owner that died holding the lock leaves it abandoned; the wait still grants it.
    WaitForSingleObject(mutex, INFINITE);
}

SimLock::~SimLock() { ReleaseMutex(mutex); }

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
    std::memset(state.firmware.display, ' ', 12);
    state.firmware.lastReleaseAck = -1;
}

SimState* MapSimState() {
    static SimState* view = [] {
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SimState),
                                            SimMappingName);
        if (!mapping)
            return static_cast<SimState*>(nullptr);
        // The mapping handle stays open for the life of the process, so the state outlives no user.
        auto* state = static_cast<SimState*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SimState)));
        if (state) {
            SimLock lock;
            if (state->magic != SimMagic)
                ResetSimState(*state);
        }
        return state;
    }();
    return view;
}
