#pragma once
// The chip side of the simulation: one RegisterTransfer, with the lock already held.
//
// Every request is checked as the chip would: byte 0 = 4, bytes 2-3 = 0, a register below 32, direction
// (byte 8) 0 = write or 1 = read, both byte counts (offsets 6 and 12) equal to 1, the marker 0x55 at
// offset 9 on a write, and a data address. A request that fails any check counts one requestViolation,
// is not acted on and answers 0; a good one answers 1. While the base is unplugged (config.plugged == 0),
// good requests answer 0 too, writes change nothing and reads leave the caller's byte untouched.
//
// Register writes are kept in the register file. Writes to 16 and 17 drive the 2-wire bus slave
// (BusSlave.h), and 16 also goes to the firmware's lights. Writes to 10 and 15 carry the program's bytes:
// the high nibble (register 10 bits 7, 5, 3, 1) is latched when register 15 bit 1 rises, the low nibble
// when it falls again; each byte is appended to chip.received and handed to the firmware (unless
// chip.firmwareDetached). Reads of 17 give the data line's level on bit 1; reads of 18 give what the base
// presents at that moment (ChipQueue.h); other reads give the register file.
#include "sim/shared/SimState.h"

int ChipTransfer(SimState& state, void* request);
