#pragma once
// Opens (or creates, with defaults) the simulation's shared state, and holds its lock.
#include "sim/shared/SimState.h"

// The process's view of the shared state; nullptr only when the mapping cannot be made.
SimState* MapSimState();
// Puts every field back to the state of a freshly plugged-in, awake base.
void ResetSimState(SimState& state);

// The one lock over the shared state, for every process of the simulation. It lives in the shared memory
// itself: the channel threads take it hundreds of times a second, and a named mutex would cost two Wine
// server round trips each time, which is what delays them when the machine is busy. A thread may take it
// again while it holds it. A thread that ends holding it (a killed program) leaves it to the next waiter.
class SimLock {
  public:
    SimLock();
    ~SimLock();
    SimLock(const SimLock&) = delete;
    SimLock& operator=(const SimLock&) = delete;
};
