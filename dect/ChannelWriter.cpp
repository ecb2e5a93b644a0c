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

// While there are bytes, one nibble a tick, so that each nibble stands at least a tick; the tick is a
// sleep, as the reader's is (a timed wait costs a round trip to the Wine server). Once the pipe is empty,
// no tick until the next write sets its event or the writer is stopped. The step on that wake-up comes a
// tick or more after the last nibble, as the idle step that found the pipe empty came a tick after it. A
// restarted writer looks at the pipe first: a write may have come while it was stopped.
void ChannelWriter::Run() {
    HANDLE wakers[] = {stopEvent, pipe->dataEvent};
    bool sending = true;
    while (!stopping) {
        if (sending) {
            Sleep(TickMs);
            if (stopping)
                return;
            sending = Step();
            continue;
        }
        DWORD waited = WaitForMultipleObjects(2, wakers, FALSE, INFINITE);
        if (waited == WAIT_OBJECT_0)
            return;
        // A wait that failed falls back to ticking.
        sending = waited == WAIT_OBJECT_0 + 1 ? Step() : true;
    }
}

// One register access per lock, so that other users of the registers can come in between.
void ChannelWriter::WriteLocked(int reg, uint8_t value) {
    device->LockRegisters();
    WriteRegister(reg, value);
    device->UnlockRegisters();
}

bool ChannelWriter::Step() {
    if (phase == 0) {
        if (!TakeByte())
            return false;
        uint8_t lines = LinesFor(static_cast<uint8_t>(currentByte >> 4));
        WriteLocked(DataRegister, lines);
        WriteLocked(StrobeRegister, lines | HighNibbleStrobe);
        phase = 1;
        return true;
    }
    WriteLocked(DataRegister, LinesFor(currentByte & 0x0F));
    WriteLocked(StrobeRegister, LowNibbleStrobe);
    phase = 0;
    return true;
}

bool ChannelWriter::TakeByte() {
    if (takenNext == takenCount) {
        takenNext = 0;
        takenCount = pipe->Read(taken, sizeof taken);
        if (takenCount <= 0) {
            takenCount = 0;
            return false;
        }
    }
    currentByte = taken[takenNext++];
    return true;
}
