#pragma once
// The bytes the base is to send to the program over register 18, queued from either side of the
// simulation (the firmware inside the library, or a control process). The caller holds the lock.
//
// The base presents each queued byte on register 18 as two nibbles on bits 5, 4, 3 and 1: first the high
// nibble with bit 7 high, then the low nibble with bit 7 low, each for nibbleHoldMs by the clock, the next
// byte following at once. Whoever reads register 18 sees what stands there at that moment, so a reader
// that polls too slowly misses nibbles, as it would on the wire. With readerGraceMs set, a nibble the
// program has not read yet stays while the program keeps reading register 18 (up to the grace past its
// last read): a test machine that holds the program's reader off for a moment does not lose its bytes, as a
// quiet PC would not. With nothing queued the last low nibble stays (bit 7 low); a value written to
// register 18 from the control side stays until the next byte.
#include <cstdint>

#include "sim/shared/ChipState.h"

// Appends count bytes; answers how many fitted.
int QueueBytesForProgram(ChipState& chip, const uint8_t* bytes, int count);
// Register 18 as it stands now, seen from the control side.
uint8_t ChannelOutputNow(ChipState& chip);
// Register 18 as the program reads it: the read is what a late reader's grace waits for.
uint8_t ChannelReadByProgram(ChipState& chip);
// The base loses its power: what it had still to send is gone, its lines fall, and it waits for no reader
// until the program reads again.
void DropBytesForProgram(ChipState& chip);
// Bytes queued that have not yet begun to appear on register 18.
int BytesWaitingForProgram(const ChipState& chip);
