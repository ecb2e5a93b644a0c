#pragma once
// The base's microcontroller on the 2-wire bus, as a real slave sees registers 16 and 17: clock on
// register 16 bit 3; the master's data on register 17 bit 1 while bit 0 enables its output; select on
// register 17 bit 3. The data line is a wired AND: low while the master drives it low or the slave pulls it
// low, high otherwise. With select high, data falling while the clock is high is a start condition and data
// rising while the clock is high a stop condition; bits are taken on the clock's rise and the slave changes
// its own output only after a fall. The slave answers read address 0xAC (the ident, see BusBehaviour) and
// takes bytes at write address 0xAB; every byte the master sends goes into the wire log.
#include <cstdint>

#include "sim/shared/ChipState.h"

// The program wrote value to register 16 or 17: the lines change and the slave follows.
void BusSlaveRegisterWritten(ChipState& chip, int reg, uint8_t value);
// Register 17 as the program reads it: bit 1 is the data line's level.
uint8_t BusSlaveDataRegister(const ChipState& chip);
