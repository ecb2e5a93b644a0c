#include "dect/ChannelReader.h"

#include "chip/Registers.h"
#include "dect/PhoneDevice.h"
#include "dect/PipePair.h"

namespace {

constexpr int InputRegister = 18;
constexpr uint8_t StrobeBit = 0x80;

// The base's nibble stands on bits 5, 4, 3 and 1 of register 18.
uint8_t NibbleOf(uint8_t value) {
    return static_cast<uint8_t>(((value >> 5) & 1) << 3 | ((value >> 4) & 1) << 2 | ((value >> 3) & 1) << 1 |
                                ((value >> 1) & 1));
}

} // namespace

ChannelReader::~ChannelReader() {
    Stop();
}

void ChannelReader::Run() {
    TickUntilStopped(TickMs, [this] { Step(); });
}

void ChannelReader::Step() {
    // A read that fails leaves the last value, which changes nothing.
    uint8_t value = lastStatus;
    device->LockRegisters();
    ReadRegister(InputRegister, &value);
    device->UnlockRegisters();

    // Only a change of the strobe counts: a rise brings the high nibble, a fall the low one.
    bool strobe = (value & StrobeBit) != 0;
    if (strobe == ((lastStatus & StrobeBit) != 0))
        return;
    lastStatus = value;
    phase = strobe ? 0 : 1;
    if (phase == 0) {
        currentByte = static_cast<uint8_t>(NibbleOf(value) << 4);
        return;
    }
    currentByte = static_cast<uint8_t>(currentByte | NibbleOf(value));
    pipe->Write(&currentByte, 1);
}
