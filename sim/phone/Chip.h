#pragma once
// The chip side of the simulation: one RegisterTransfer, with the lock already held.
#include "sim/shared/SimState.h"

int ChipTransfer(SimState& state, void* request);
