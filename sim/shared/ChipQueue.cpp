#include "sim/shared/ChipQueue.h"

#include <windows.h>

#include <algorithm>

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

int64_t HoldEndUs(const ChipState& chip) {
    return chip.nibbleSinceUs + static_cast<int64_t>(chip.nibbleHoldMs) * 1000;
}

// When the nibble on show gives way. One the program has read goes when its hold is over. One it has not
// read waits for a reader that is only late, up to the grace past the program's last read of register 18:
// a program a busy machine let sleep for a moment gets it, one that stopped reading does not hold up the
// base. Without grace every nibble goes by the clock alone.
int64_t NibbleEndUs(const ChipState& chip) {
    int64_t end = HoldEndUs(chip);
    if (chip.nibbleRead)
        return std::max(end, chip.nibbleReadUs);
    if (chip.readerGraceMs > 0)
        return std::max(end, chip.programReadUs + static_cast<int64_t>(chip.readerGraceMs) * 1000);
    return end;
}

void Show(ChipState& chip) {
    chip.registers[18] = chip.presentingLow
                             ? LinesFor(chip.presentedByte & 0x0F)
                             : static_cast<uint8_t>(StrobeBit | LinesFor(chip.presentedByte >> 4));
}

void Present(ChipState& chip, int64_t since) {
    chip.presentedByte = TakeNext(chip);
    chip.presenting = 1;
    chip.presentingLow = 0;
    chip.nibbleSinceUs = since;
    chip.nibbleRead = 0;
}

void EndNibble(ChipState& chip, int64_t end) {
    if (!chip.nibbleRead) {
        ++chip.nibblesUnread;
    } else if (chip.nibbleReadUs > HoldEndUs(chip)) {
        ++chip.nibblesHeldLate;
        chip.longestLateMs =
            std::max(chip.longestLateMs, static_cast<uint32_t>((chip.nibbleReadUs - HoldEndUs(chip)) / 1000));
    }
    if (!chip.presentingLow) {
        chip.presentingLow = 1;
        chip.nibbleSinceUs = end;
        chip.nibbleRead = 0;
    } else if (Empty(chip)) {
        chip.presenting = 0; // the last low nibble stays on the lines
    } else {
        Present(chip, end); // the next byte follows at once
    }
}

// Brings register 18 up to the time now: nibbles whose time has passed are gone, whether anyone saw them
// or not.
void Advance(ChipState& chip, int64_t now) {
    if (!chip.presenting && !Empty(chip))
        Present(chip, now);
    bool wasPresenting = chip.presenting;
    while (chip.presenting && now >= NibbleEndUs(chip))
        EndNibble(chip, NibbleEndUs(chip));
    if (chip.presenting || wasPresenting)
        Show(chip);
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

uint8_t ChannelReadByProgram(ChipState& chip) {
    int64_t now = NowUs();
    Advance(chip, now);
    if (chip.presenting && !chip.nibbleRead) {
        chip.nibbleRead = 1;
        chip.nibbleReadUs = now;
    }
    chip.programReadUs = now;
    return chip.registers[18];
}

void DropBytesForProgram(ChipState& chip) {
    chip.toSendHead = chip.toSendTail;
    chip.presenting = 0;
    chip.registers[18] = 0;
    // Keys pressed while it has no power must not wait for the program to read again.
    chip.programReadUs = 0;
}

int BytesWaitingForProgram(const ChipState& chip) {
    return static_cast<int>(chip.toSendTail - chip.toSendHead);
}
