#pragma once
// The chip's register file, the 2-wire bus slave and the nibble byte channel, as the simulation keeps them.
#include <cstdint>

constexpr int ChannelQueueCapacity = 4096;

enum BusBehaviour : int32_t { BusAwake = 0, BusAsleep = 1, BusAbsent = 2 };

struct ChipState {
    uint8_t registers[32];
    uint32_t requestViolations; // malformed RegisterRequest records received
    // 2-wire bus slave
    int32_t busBehaviour;
    uint8_t ident[2];  // buffer bytes 0 and 1 that BusRead of 0xAC yields from an awake base
    int32_t woken;     // an asleep base has received 0x38 then 0xA9
    uint8_t wire[256]; // bytes seen on the wire (address and data), in order
    uint32_t wireCount;
    // byte channel: bytes the program has sent to the base, and bytes queued for the base to send
    uint32_t nibbleHoldMs;
    uint8_t received[ChannelQueueCapacity];
    uint32_t receivedCount;
    uint8_t toSend[ChannelQueueCapacity];
    uint32_t toSendHead;
    uint32_t toSendTail;
};
