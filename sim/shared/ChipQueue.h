#pragma once
// The bytes the base is to send to the program over register 18, queued from either side of the
// simulation (the firmware inside the library, or a control process). The caller holds the lock.
#include <cstdint>

#include "sim/shared/ChipState.h"

// Appends count bytes; answers how many fitted.
int QueueBytesForProgram(ChipState& chip, const uint8_t* bytes, int count);
