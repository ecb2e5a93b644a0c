#include "sim/phone/BusSlave.h"

namespace {

enum : int { ClockRegister = 16, DataRegister = 17 };
enum : uint8_t { DataEnableBit = 0x01, DataLevelBit = 0x02, ClockBit = 0x08, SelectBit = 0x08 };
enum : uint8_t { ReadAddress = 0xAC, WriteAddress = 0xAB, WakeFirst = 0x38, WakeSecond = 0xA9 };

struct Lines {
    bool clock;
    bool data;
    bool select;
};

bool DataLineHigh(const ChipState& chip) {
    uint8_t master = chip.registers[DataRegister];
    bool masterLow = (master & DataEnableBit) && !(master & DataLevelBit);
    return !masterLow && !chip.slavePullsLow;
}

Lines LinesNow(const ChipState& chip) {
    return {(chip.registers[ClockRegister] & ClockBit) != 0, DataLineHigh(chip),
            (chip.registers[DataRegister] & SelectBit) != 0};
}

void LogWire(ChipState& chip, uint8_t byte) {
    if (chip.wireCount < WireLogCapacity)
        chip.wire[chip.wireCount] = byte;
    ++chip.wireCount;
}

// The byte a read of 0xAC sends at this index: the ident's byte 1 first, because the master stores the
// first byte it receives at the end of its buffer; an idle line (0xFF) after the ident.
uint8_t ByteToSend(const ChipState& chip, int index) {
    bool answers = chip.busBehaviour == BusAwake || (chip.busBehaviour == BusAsleep && chip.woken);
    if (answers)
        return index == 0 ? chip.ident[1] : index == 1 ? chip.ident[0] : 0xFF;
    return index == 0 ? 0x00 : 0xFF;
}

void Enter(ChipState& chip, BusSlaveState state, bool pullLow) {
    chip.slaveState = state;
    chip.slavePullsLow = pullLow ? 1 : 0;
}

// Puts the next bit of the byte being read on the line (a 0 pulls it low).
void DriveReadBit(ChipState& chip) {
    bool bit = (chip.shift >> (7 - chip.bitCount)) & 1;
    Enter(chip, SlaveReadData, !bit);
}

void StartReadByte(ChipState& chip) {
    chip.shift = ByteToSend(chip, chip.bytesRead++);
    chip.bitCount = 0;
    DriveReadBit(chip);
}

void StartReceive(ChipState& chip, BusSlaveState state) {
    chip.bitCount = 0;
    chip.shift = 0;
    Enter(chip, state, false);
}

void OnStart(ChipState& chip) {
    chip.reading = 0;
    chip.bytesRead = 0;
    chip.lastData = 0;
    StartReceive(chip, SlaveAddress);
}

// A data byte of a write is complete; answers whether the slave acknowledges it.
bool TakeDataByte(ChipState& chip, uint8_t byte) {
    if (chip.dataRefusals != 0) {
        if (chip.dataRefusals > 0)
            --chip.dataRefusals;
        return false;
    }
    if (chip.lastData == WakeFirst && byte == WakeSecond)
        chip.woken = 1;
    chip.lastData = byte;
    return true;
}

// The clock rose: the master's bit is taken; nothing changes on the line.
void OnClockRise(ChipState& chip, bool data) {
    if (chip.slaveState != SlaveAddress && chip.slaveState != SlaveWriteData)
        return;
    chip.shift = static_cast<uint8_t>(chip.shift << 1 | (data ? 1 : 0));
    if (++chip.bitCount == 8)
        LogWire(chip, chip.shift);
}

// The clock fell: the slave may change its output for the next bit.
void OnClockFall(ChipState& chip) {
    switch (chip.slaveState) {
    case SlaveAddress:
        if (chip.bitCount < 8)
            return;
        if (chip.busBehaviour == BusAbsent || (chip.shift != ReadAddress && chip.shift != WriteAddress)) {
            Enter(chip, SlaveIgnoring, false);
            return;
        }
        chip.reading = chip.shift == ReadAddress;
        Enter(chip, SlaveAddressAck, true);
        return;
    case SlaveWriteData:
        if (chip.bitCount == 8)
            Enter(chip, SlaveDataAck, TakeDataByte(chip, chip.shift));
        return;
    case SlaveAddressAck:
        if (chip.reading)
            StartReadByte(chip);
        else
            StartReceive(chip, SlaveWriteData);
        return;
    case SlaveDataAck:
        StartReceive(chip, SlaveWriteData);
        return;
    case SlaveReadData:
        if (++chip.bitCount < 8)
            DriveReadBit(chip);
        else
            Enter(chip, SlaveMasterAck, true);
        return;
    case SlaveMasterAck:
        StartReadByte(chip);
        return;
    default:
        return;
    }
}

} // namespace

void BusSlaveRegisterWritten(ChipState& chip, int reg, uint8_t value) {
    Lines before = LinesNow(chip);
    chip.registers[reg] = value;
    Lines after = LinesNow(chip);

    if (!after.select) {
        // Deselected: whatever was going on is over.
        Enter(chip, SlaveIdle, false);
        return;
    }
    if (before.clock && after.clock && before.data != after.data) {
        if (after.data)
            Enter(chip, SlaveIdle, false); // stop condition
        else
            OnStart(chip);
        return;
    }
    if (!before.clock && after.clock)
        OnClockRise(chip, after.data);
    else if (before.clock && !after.clock)
        OnClockFall(chip);
}

uint8_t BusSlaveDataRegister(const ChipState& chip) {
    uint8_t value = chip.registers[DataRegister] & static_cast<uint8_t>(~DataLevelBit);
    return DataLineHigh(chip) ? value | DataLevelBit : value;
}
