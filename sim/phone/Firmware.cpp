#include "sim/phone/Firmware.h"

#include <algorithm>
#include <cstring>

#include "sim/shared/Frames.h"

namespace {

constexpr int HandsetWidth = 12;

// Shows up to HandsetWidth characters, stopping at a zero byte, the rest of the field blank.
void ShowField(char* field, const uint8_t* text, int count, char fill) {
    std::memset(field, fill, HandsetWidth);
    field[HandsetWidth] = '\0';
    count = std::min(count, HandsetWidth);
    for (int i = 0; i < count && text[i]; ++i)
        field[i] = static_cast<char>(text[i]);
}

// Display payload: 0x01, the character count, the characters.
void ShowDisplay(FirmwareState& firmware, const uint8_t* payload, int length) {
    if (length >= 2)
        ShowField(firmware.display, payload + 2, std::min<int>(payload[1], length - 2), ' ');
}

// Incoming call payload: 0x81, 0x02, '0', '0', the caller's byte count, '<', the caller's bytes.
void Ring(FirmwareState& firmware, const uint8_t* payload, int length) {
    if (length < 6)
        return;
    ShowField(firmware.caller, payload + 6, std::min<int>(payload[4], length - 6), '\0');
    firmware.ringing = 1;
    firmware.inCall = 0;
}

void LogFrame(FirmwareState& firmware, const uint8_t* frame, int length) {
    if (firmware.frameCount < FrameLogCapacity) {
        LoggedFrame& entry = firmware.frames[firmware.frameCount];
        entry.length = static_cast<uint8_t>(length);
        std::memcpy(entry.bytes, frame, length);
    }
    ++firmware.frameCount;
    ++firmware.framesByCommand[frame[3]];
}

void Act(FirmwareState& firmware, const uint8_t* frame, int length) {
    LogFrame(firmware, frame, length);
    const uint8_t* payload = frame + 4;
    int payloadLength = length - 5;
    switch (frame[3]) {
    case sim::Init:
        firmware.initialised = 1;
        break;
    case sim::Display:
        ShowDisplay(firmware, payload, payloadLength);
        break;
    case sim::IncomingCall:
        Ring(firmware, payload, payloadLength);
        break;
    case sim::Connect:
        firmware.inCall = 1;
        firmware.ringing = 0;
        break;
    case sim::Release:
        firmware.inCall = 0;
        firmware.ringing = 0;
        std::memset(firmware.caller, 0, sizeof firmware.caller);
        break;
    case sim::ReleaseAck:
        if (payloadLength >= 1)
            firmware.lastReleaseAck = payload[0];
        break;
    default:
        break;
    }
}

void DropFront(FrameAssembly& assembly, int count) {
    std::memmove(assembly.bytes, assembly.bytes + count, assembly.count - count);
    assembly.count -= count;
}

} // namespace

// A bad frame is dropped one byte at a time, so a good frame hidden behind it is still found.
void FirmwareByteFromProgram(SimState& state, uint8_t byte) {
    FirmwareState& firmware = state.firmware;
    FrameAssembly& assembly = firmware.assembly;
    if (assembly.count >= FrameBytesMax) // only a damaged shared state gets here
        assembly.count = 0;
    assembly.bytes[assembly.count++] = byte;
    for (;;) {
        int length = 0;
        switch (sim::CheckFrame(assembly.bytes, assembly.count, FrameBytesMax, &length)) {
        case sim::FrameCheck::Incomplete:
            return;
        case sim::FrameCheck::Good:
            Act(firmware, assembly.bytes, length);
            DropFront(assembly, length);
            break;
        case sim::FrameCheck::Bad:
            ++firmware.badFrames;
            DropFront(assembly, 1);
            break;
        case sim::FrameCheck::NoMarker:
            ++firmware.strayBytes;
            DropFront(assembly, 1);
            break;
        }
    }
}

void FirmwareRegister16Written(SimState& state, uint8_t value) {
    state.firmware.skypeLight = (value & 0x02) ? 0 : 1;
    state.firmware.callLight = (value & 0x08) ? 0 : 1;
}
