#include "dect/ChannelWriter.h"

#include "chip/Registers.h"
#include "dect/PhoneDevice.h"
#include "dect/PipePair.h"

namespace {

enum : int { DataRegister = 10, StrobeRegister = 15 };
// The even bits of register 10 always stay 1; the nibble goes on bits 7, 5, 3 and 1.
constexpr uint8_t IdleLines = 0x55;
constexpr uint8_t HighNibbleStrobe = 0x03;
constexpr uint8_t LowNibbleStrobe = 0x01;

uint8_t LinesFor(uint8_t nibble) {
    return static_cast<uint8_t>(IdleLines | (nibble & 8) << 4 | (nibble & 4) << 3 | (nibble & 2) << 2 |
                                (nibble & 1) << 1);
}

} // namespace

ChannelWriter::~ChannelWriter() {
    Stop();
}

void ChannelWriter::Run() {
    TickUntilStopped(TickMs, [this] { Step(); });
}

// One register access per lock, so that other users of the registers can come in between.
void ChannelWriter::WriteLocked(int reg, uint8_t value) {
    device->LockRegisters();
    WriteRegister(reg, value);
    device->UnlockRegisters();
}

void ChannelWriter::Step() {
    if (phase == 0) {
        if (pipe->Read(&currentByte, 1) != 1)
            return;
        uint8_t lines = LinesFor(static_cast<uint8_t>(currentByte >> 4));
        WriteLocked(DataRegister, lines);
        WriteLocked(StrobeRegister, lines | HighNibbleStrobe);
        phase = 1;
        return;
    }
    WriteLocked(DataRegister, LinesFor(currentByte & 0x0F));
    WriteLocked(StrobeRegister, LowNibbleStrobe);
    phase = 0;
}
