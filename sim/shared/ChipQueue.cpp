#include "sim/shared/ChipQueue.h"

#include <windows.h>

namespace {

constexpr uint8_t StrobeBit = 0x80;

// The counter is system-wide, so every process of the simulation reads the same clock.
int64_t NowUs() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return counter.QuadPart / frequency.QuadPart * 1000000 +
           counter.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

// A nibble goes out on bits 5, 4, 3 and 1 of register 18.
uint8_t LinesFor(uint8_t nibble) {
    return static_cast<uint8_t>((nibble & 8) << 2 | (nibble & 4) << 2 | (nibble & 2) << 2 |
                                (nibble & 1) << 1);
}

bool Empty(const ChipState& chip) {
    return chip.toSendHead == chip.toSendTail;
}

uint8_t TakeNext(ChipState& chip) {
    return chip.toSend[chip.toSendHead++ % static_cast<uint32_t>(ChannelQueueCapacity)];
}

// Brings register 18 up to the time now: bytes whose two holds have passed are gone, whether anyone saw
// them or not.
void Advance(ChipState& chip, int64_t now) {
    int64_t byteUs = 2 * static_cast<int64_t>(chip.nibbleHoldMs) * 1000;
    while (chip.presenting && now - chip.presentedSinceUs >= byteUs) {
        if (Empty(chip)) {
            chip.presenting = 0;
            chip.registers[18] = LinesFor(chip.presentedByte & 0x0F);
            break;
        }
        chip.presentedByte = TakeNext(chip);
        chip.presentedSinceUs += byteUs;
    }
    if (!chip.presenting && !Empty(chip)) {
        chip.presentedByte = TakeNext(chip);
        chip.presenting = 1;
        chip.presentedSinceUs = now;
    }
    if (chip.presenting)
        chip.registers[18] = now - chip.presentedSinceUs < byteUs / 2
                                 ? static_cast<uint8_t>(StrobeBit | LinesFor(chip.presentedByte >> 4))
                                 : LinesFor(chip.presentedByte & 0x0F);
}

} // namespace

int QueueBytesForProgram(ChipState& chip, const uint8_t* bytes, int count) {
    int64_t now = NowUs();
    Advance(chip, now); // a byte that finished before now must not delay the new ones
    int queued = 0;
    for (; queued < count && chip.toSendTail - chip.toSendHead < ChannelQueueCapacity; ++queued)
        chip.toSend[chip.toSendTail++ % static_cast<uint32_t>(ChannelQueueCapacity)] = bytes[queued];
    Advance(chip, now);
    return queued;
}

uint8_t ChannelOutputNow(ChipState& chip) {
    Advance(chip, NowUs());
    return chip.registers[18];
}

int BytesWaitingForProgram(const ChipState& chip) {
    return static_cast<int>(chip.toSendTail - chip.toSendHead);
}
