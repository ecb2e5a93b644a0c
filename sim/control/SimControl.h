#pragma once
// Drives the simulated phone library from another process: configure it before the program starts, post
// the library's notifications to the program's window, plug and unplug the base, read back the calls.
#include <windows.h>

#include <vector>

#include "sim/shared/SimMapping.h"

// Runs f(state) with the simulation's lock held and answers its result.
template <class F> auto WithSim(F f) {
    SimState* state = MapSimState();
    SimLock lock;
    return f(*state);
}

void SimReset();
std::vector<SimCall> SimCalls();
// Posts a notification to the window the program attached (false when none is attached).
bool SimPost(UINT message, WPARAM wParam, LPARAM lParam);
// Plugging in makes the base answer again and posts the arrival (1424) with the product id; unplugging
// makes it silent, as without power (it forgets a frame it was receiving), and posts the removal (1425).
bool SimPlug();
bool SimUnplug();
// Whether a base is plugged in now.
bool SimPlugged();
