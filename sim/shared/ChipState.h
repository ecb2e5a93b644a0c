#pragma once
// The chip's register file, the 2-wire bus slave and the nibble byte channel, as the simulation keeps them.
// ResetSimState zeroes everything and then sets busBehaviour, ident, nibbleHoldMs and readerGraceMs, so 0 is
// the starting value of every other field.
#include <cstdint>

constexpr int ChipRegisterCount = 32;
constexpr int ChannelQueueCapacity = 4096; // a power of two: toSend is a ring
constexpr int WireLogCapacity = 256;

// How the base's microcontroller answers on the 2-wire bus.
//   BusAwake:  acknowledges its addresses and answers a read of 0xAC with the ident at once.
//   BusAsleep: acknowledges, but a read of 0xAC yields the buffer (0xFF, 0x00), ident 255, until it has
//              received 0x38 then 0xA9 in one write to 0xAB; from then on it answers like an awake base.
//   BusAbsent: never acknowledges anything; the data line stays high.
enum BusBehaviour : int32_t { BusAwake = 0, BusAsleep = 1, BusAbsent = 2 };

// Where the bus slave stands between a start and a stop condition.
enum BusSlaveState : int32_t {
    SlaveIdle = 0,   // waiting for a start condition
    SlaveAddress,    // shifting in the address byte, a bit on each clock rise
    SlaveAddressAck, // acknowledge slot after its address: data pulled low until the clock falls
    SlaveWriteData,  // shifting in a data byte
    SlaveDataAck,    // acknowledge slot after a data byte (the line is left high when refused)
    SlaveReadData,   // driving a byte out, a bit after each clock fall
    SlaveMasterAck,  // the master's acknowledge slot after a byte read: the slave keeps the line low too,
                     // because the master releases the line while the clock is still high
    SlaveIgnoring,   // not addressed: silent until the next start or stop condition
};

struct ChipState {
    uint8_t registers[ChipRegisterCount]; // as the program last wrote them; 17 and 18 read differently
    uint32_t requestViolations;           // malformed RegisterRequest records received
    // 2-wire bus slave
    int32_t busBehaviour;
    uint8_t ident[2];     // buffer bytes 0 and 1 that BusRead of 0xAC yields from an awake base
    int32_t woken;        // an asleep base has received 0x38 then 0xA9
    int32_t dataRefusals; // data bytes the slave refuses before it acknowledges again; -1: refuses all
    uint8_t wire[WireLogCapacity]; // bytes the master put on the wire (addresses and data), in order
    uint32_t wireCount;            // all of them; the log keeps the first WireLogCapacity
    int32_t slaveState;            // a BusSlaveState
    int32_t slavePullsLow;         // the slave holds the data line low
    int32_t bitCount;              // bits shifted in or out of the current byte
    uint8_t shift;                 // the byte being shifted
    uint8_t lastData;              // the previous data byte of this write, for the wake-up pair
    int32_t reading;               // the transfer addressed 0xAC
    int32_t bytesRead;             // bytes already sent in this read
    // byte channel, program -> base: registers 10 and 15
    int32_t highNibbleLatched;
    uint8_t highNibble;
    int32_t firmwareDetached; // 1: bytes from the program are only recorded, not given to the firmware
    uint8_t received[ChannelQueueCapacity]; // bytes from the program, the first ChannelQueueCapacity kept
    uint32_t receivedCount;
    // byte channel, base -> program: register 18, each nibble held nibbleHoldMs by the clock, and up to
    // readerGraceMs past the program's last read while the program has not read it yet (0: no longer)
    uint32_t nibbleHoldMs;
    uint32_t readerGraceMs;
    uint8_t toSend[ChannelQueueCapacity];
    uint32_t toSendHead; // next byte to present
    uint32_t toSendTail; // next free slot
    int32_t presenting;  // a byte stands on register 18
    uint8_t presentedByte;
    int32_t presentingLow;    // its low nibble stands, else its high nibble
    int64_t nibbleSinceUs;    // when the nibble on show appeared
    int32_t nibbleRead;       // the program has read register 18 while it stood
    int64_t nibbleReadUs;     // the first such read
    int64_t programReadUs;    // the program's last read of register 18
    uint32_t nibblesHeldLate; // nibbles kept past their hold until a late reader saw them
    uint32_t longestLateMs;   // the longest such wait past the hold
    uint32_t nibblesUnread;   // nibbles that went by without the program reading them
};
