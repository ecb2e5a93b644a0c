#include "sim/phone/Chip.h"

#include <cstring>

#include "sim/phone/BusSlave.h"
#include "sim/phone/Firmware.h"
#include "sim/shared/ChipQueue.h"

namespace {

enum : int {
    ChannelDataRegister = 10,
    ChannelStrobeRegister = 15,
    IndicatorRegister = 16,
    BusDataRegister = 17,
    ChannelInputRegister = 18,
};
enum : uint8_t {
    DirectionWrite = 0,
    DirectionRead = 1,
    RequestKind = 4,
    WriteMarker = 0x55,
    StrobeBit = 0x02
};

// The request as the chip reads it: 20 bytes, little-endian, read by offset.
struct Request {
    int reg;
    int direction;
    uint8_t* data;
};

template <class T> T At(const uint8_t* bytes, int offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

bool Decode(const void* record, Request& request) {
    if (!record)
        return false;
    auto* bytes = static_cast<const uint8_t*>(record);
    request.reg = At<uint16_t>(bytes, 4);
    request.direction = bytes[8];
    request.data = reinterpret_cast<uint8_t*>(static_cast<UINT_PTR>(At<uint32_t>(bytes, 16)));
    bool write = request.direction == DirectionWrite;
    return bytes[0] == RequestKind && At<uint16_t>(bytes, 2) == 0 && request.reg < ChipRegisterCount &&
           (write || request.direction == DirectionRead) && At<uint16_t>(bytes, 6) == 1 &&
           At<uint32_t>(bytes, 12) == 1 && (!write || bytes[9] == WriteMarker) && request.data;
}

// Register 10 carries a nibble on bits 7, 5, 3 and 1.
uint8_t NibbleOnChannel(uint8_t value) {
    return static_cast<uint8_t>(((value >> 7) & 1) << 3 | ((value >> 5) & 1) << 2 | ((value >> 3) & 1) << 1 |
                                ((value >> 1) & 1));
}

void ByteFromProgram(SimState& state, uint8_t byte) {
    ChipState& chip = state.chip;
    if (chip.receivedCount < ChannelQueueCapacity)
        chip.received[chip.receivedCount] = byte;
    ++chip.receivedCount;
    if (!chip.firmwareDetached)
        FirmwareByteFromProgram(state, byte);
}

void StrobeWritten(SimState& state, uint8_t value) {
    ChipState& chip = state.chip;
    bool wasHigh = chip.registers[ChannelStrobeRegister] & StrobeBit;
    bool high = value & StrobeBit;
    chip.registers[ChannelStrobeRegister] = value;
    uint8_t nibble = NibbleOnChannel(chip.registers[ChannelDataRegister]);
    if (high && !wasHigh) {
        chip.highNibble = nibble;
        chip.highNibbleLatched = 1;
    } else if (!high && wasHigh && chip.highNibbleLatched) {
        chip.highNibbleLatched = 0;
        ByteFromProgram(state, static_cast<uint8_t>(chip.highNibble << 4 | nibble));
    }
}

void Write(SimState& state, int reg, uint8_t value) {
    ChipState& chip = state.chip;
    switch (reg) {
    case ChannelStrobeRegister:
        StrobeWritten(state, value);
        return;
    case IndicatorRegister:
        BusSlaveRegisterWritten(chip, reg, value);
        FirmwareRegister16Written(state, value);
        return;
    case BusDataRegister:
        BusSlaveRegisterWritten(chip, reg, value);
        return;
    default:
        chip.registers[reg] = value;
        return;
    }
}

uint8_t Read(ChipState& chip, int reg) {
    switch (reg) {
    case BusDataRegister:
        return BusSlaveDataRegister(chip);
    case ChannelInputRegister:
        return ChannelReadByProgram(chip);
    default:
        return chip.registers[reg];
    }
}

} // namespace

int ChipTransfer(SimState& state, void* record) {
    Request request;
    if (!Decode(record, request)) {
        ++state.chip.requestViolations;
        return 0;
    }
    if (!state.config.plugged)
        return 0;
    if (request.direction == DirectionWrite)
        Write(state, request.reg, *request.data);
    else
        *request.data = Read(state.chip, request.reg);
    return 1;
}
