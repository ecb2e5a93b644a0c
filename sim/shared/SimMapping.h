#pragma once
// Opens (or creates, with defaults) the simulation's shared state, and holds its lock.
#include "sim/shared/SimState.h"

// The process's view of the shared state; nullptr only when the mapping cannot be made.
SimState* MapSimState();
// Puts every field back to the state of a freshly plugged-in, awake base.
void ResetSimState(SimState& state);

class SimLock {
public:
    SimLock();
    ~SimLock();
    SimLock(const SimLock&) = delete;
    SimLock& operator=(const SimLock&) = delete;

private:
    HANDLE mutex;
};
