#pragma once
// The chip side of the simulated library, driven from a test or the demonstration (another process than
// the program). Each call takes the simulation's lock for itself. SimReset puts the chip back to a plugged,
// awake base with the ident (0x34, 0x12), registers all 0, empty logs and queues, 25 ms nibble holds and
// a second's grace for a late reader.
#include <cstdint>
#include <vector>

#include "sim/shared/ChipState.h"

// The 2-wire bus: how the base answers (choosing BusAsleep also puts it back to sleep), the buffer bytes 0
// and 1 that BusRead of 0xAC yields from an awake base, and how many data bytes it refuses from now on
// (-1: all of them) before it acknowledges again.
void ChipSetBusBehaviour(BusBehaviour behaviour);
void ChipSetIdent(uint8_t byte0, uint8_t byte1);
void ChipSetDataRefusals(int count);
bool ChipWoken();
// Every byte the master has put on the bus (addresses and data), in order.
std::vector<uint8_t> ChipWireLog();

// The register file as the program last wrote it; a read of 18 gives what the base presents now. Setting
// a register changes only the file: it drives neither the bus slave nor the byte channel, and a value set
// on 18 stays while the base has nothing to send.
uint8_t ChipRegister(int reg);
void ChipSetRegister(int reg, uint8_t value);
// Malformed register requests received so far.
uint32_t ChipRequestViolations();

// The byte channel. Bytes for the base to send to the program, queued behind any waiting (answers how many
// fitted); whether the base is still sending; the bytes the program has sent, in order.
int ChipQueueForProgram(const std::vector<uint8_t>& bytes);
bool ChipSending();
std::vector<uint8_t> ChipReceived();
// How long the base holds each nibble on register 18, and how long past the program's last read of it a
// nibble the program has not read yet may wait for it (0: the clock alone decides).
void ChipSetNibbleHold(uint32_t ms);
void ChipSetReaderGrace(uint32_t ms);
// Holds the program's reader off for ms, as a stalled machine would: the base goes on by the clock alone
// meanwhile (no grace), so the nibbles of that time go by unread; then the grace is what it was.
void ChipStallReader(uint32_t ms);
// What the program's reader made the base do so far.
struct ReaderTiming {
    uint32_t heldLate;      // nibbles kept past their hold until the reader saw them
    uint32_t longestLateMs; // the longest of those waits
    uint32_t unread;        // nibbles that went by unread
};
ReaderTiming ChipReaderTiming();
// Detached, the program's bytes are only recorded, not given to the firmware (which might answer them).
void ChipDetachFirmware(bool detached);
