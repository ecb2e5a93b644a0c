#pragma once
// The base's firmware, as the chip side of the simulation calls it (the simulation's lock is held).
#include <cstdint>

#include "sim/shared/SimState.h"

// One byte the program sent over the byte channel (registers 10 and 15).
void FirmwareByteFromProgram(SimState& state, uint8_t byte);
// The program wrote register 16: the handset's Skype and call lights follow its bits 1 and 3 (active low).
void FirmwareRegister16Written(SimState& state, uint8_t value);
