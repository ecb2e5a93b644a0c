// The 2-wire bus in three layers: line operations on the two shadow bytes, bus primitives built only from
// line operations, and the two transfers built only from primitives. The base's microcontroller samples
// data on the clock's rise; every step below leaves the clock low unless it says otherwise.
#include "chip/Bus.h"

#include <windows.h>

#include "chip/Registers.h"

uint8_t register16Shadow = 0x0F;
uint8_t register17Shadow = 0x0F;

namespace {

enum : int { ClockRegister = 16, DataRegister = 17 };
enum : uint8_t {
    DataEnableBit = 0x01,
    DataLevelBit = 0x02,
    ClockBits = 0x0C,  // bit 3 is the clock; bit 2 is raised with it
    SelectBits = 0x0C, // bit 3 is the select; bit 2 is raised with it
    ClockBit = 0x08,
    SelectBit = 0x08,
};

void SetClockShadow(uint8_t value) {
    register16Shadow = value;
    WriteRegister(ClockRegister, register16Shadow);
}

void SetDataShadow(uint8_t value) {
    register17Shadow = value;
    WriteRegister(DataRegister, register17Shadow);
}

} // namespace

// ---- Line operations: change a shadow byte, then write it whole.

void DataOutputEnable() {
    SetDataShadow(register17Shadow | DataEnableBit);
}
void DataRelease() {
    SetDataShadow(register17Shadow & ~DataEnableBit);
}
void DataHigh() {
    SetDataShadow(register17Shadow | DataEnableBit | DataLevelBit);
}
void DataLow() {
    SetDataShadow(register17Shadow & ~DataLevelBit);
}
void ClockHigh() {
    SetClockShadow(register16Shadow | ClockBits);
}
void ClockLow() {
    SetClockShadow(register16Shadow & ~ClockBit);
}
void SelectHigh() {
    SetDataShadow(register17Shadow | SelectBits);
}
void SelectLow() {
    SetDataShadow(register17Shadow & ~SelectBit);
}

bool DataIn() {
    // A read that fails tells nothing; the released line then counts as high, as it floats, so that a
    // base that is gone never seems to acknowledge.
    uint8_t value = DataLevelBit;
    ReadRegister(DataRegister, &value);
    return (value & DataLevelBit) != 0;
}

void BusDelay() {
    Sleep(2);
}

// ---- Bus primitives.

// Any state -> clock low, data driven low, select high: a start condition was made (data fell while the
// clock was high and the device was selected).
void BusStart() {
    DataOutputEnable();
    SelectLow();
    BusDelay();
    DataHigh();
    ClockHigh();
    SelectHigh();
    BusDelay();
    DataLow();
    BusDelay();
    ClockLow();
    BusDelay();
}

// Clock low -> clock high, data driven high, select low: a stop condition was made (data rose while the
// clock was high), then the device was deselected.
void BusStop() {
    DataOutputEnable();
    DataLow();
    BusDelay();
    ClockHigh();
    BusDelay();
    DataHigh();
    BusDelay();
    SelectLow();
}

// Clock low -> clock low, data driven with the last bit: eight bits, most significant first, each set
// while the clock is low and taken by the device on the clock's rise.
void BusPutByte(uint8_t value) {
    DataOutputEnable();
    for (int bit = 7; bit >= 0; --bit) {
        if (value & (1 << bit))
            DataHigh();
        else
            DataLow();
        BusDelay();
        ClockHigh();
        BusDelay();
        ClockLow();
    }
}

// Clock low -> clock low, data released. 1: not acknowledged (the line stayed high); 0: acknowledged (the
// device pulled it low during the clock's high half).
int BusGetAck() {
    DataRelease();
    BusDelay();
    ClockHigh();
    BusDelay();
    bool high = DataIn();
    ClockLow();
    return high ? 1 : 0;
}

// Clock low -> clock low, data released: eight bits from the device, most significant first, each
// sampled while the clock is high.
uint8_t BusGetByte() {
    DataRelease();
    uint8_t value = 0;
    for (int bit = 7; bit >= 0; --bit) {
        BusDelay();
        ClockHigh();
        BusDelay();
        if (DataIn())
            value |= static_cast<uint8_t>(1 << bit);
        ClockLow();
    }
    return value;
}

// Clock low -> clock low, data released: one acknowledge bit (data low through a clock pulse).
void BusSendAck() {
    DataOutputEnable();
    DataLow();
    BusDelay();
    ClockHigh();
    BusDelay();
    DataRelease();
    ClockLow();
}

// ---- Transfers.

// Any state -> bus stopped, select low. 0: the address and every data byte were acknowledged; 17: the
// address was refused (nothing else sent); 20 + position: the data byte at that position was refused.
// The data go out last byte first. A refused byte starts the data phase over at the last byte, at most
// BusWriteMaxRestarts times; the result is the last refusal seen, even when a later pass went through.
int BusWrite(uint8_t address, const uint8_t* data, int count) {
    BusStart();
    BusPutByte(address);
    if (BusGetAck()) {
        BusStop();
        return BusAddressRefused;
    }
    int result = BusDone;
    int restarts = 0;
    for (int position = count - 1; position >= 0; --position) {
        BusPutByte(data[position]);
        if (!BusGetAck())
            continue;
        result = BusDataRefused + position;
        if (restarts == BusWriteMaxRestarts)
            break;
        ++restarts;
        position = count; // the loop's step makes it count - 1
    }
    BusStop();
    return result;
}

// Any state -> bus stopped, select low. 0: count bytes read, the first received stored at position
// count - 1, the last at 0, each one acknowledged; 17: the address was refused and the buffer is untouched.
int BusRead(uint8_t address, uint8_t* buffer, int count) {
    BusStart();
    BusPutByte(address);
    if (BusGetAck()) {
        BusStop();
        return BusAddressRefused;
    }
    for (int position = count - 1; position >= 0; --position) {
        buffer[position] = BusGetByte();
        BusSendAck();
    }
    BusStop();
    return BusDone;
}
