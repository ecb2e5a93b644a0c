#include "dect/FrameParser.h"

#include <cstring>

namespace {

constexpr uint8_t KeyMark = 1; // payload byte 1 of a key frame

} // namespace

uint8_t FrameChecksum(const uint8_t* bytes, int count) {
    uint8_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

bool HasFrameStart(const uint8_t* header) {
    return header[0] == FrameStart && header[1] == FrameStart;
}

int AnnouncedFrameLength(const uint8_t* header) {
    return header[2] + FrameHeaderLength;
}

FrameVerdict CheckFrame(const uint8_t* frame) {
    int bodyLength = frame[2];
    if (bodyLength < 2)
        return FrameVerdict::NoCommand;
    // The read pacing keeps such bodies from completing; the check keeps the payload copy inside the
    // receiver's buffer should the pacing ever change.
    if (bodyLength > ReceiveBufferSize)
        return FrameVerdict::TooLong;
    if (FrameChecksum(frame + 2, bodyLength) != frame[bodyLength + 2])
        return FrameVerdict::BadChecksum;
    return FrameVerdict::Good;
}

int TakePayload(const uint8_t* frame, uint8_t* buffer, int* length) {
    int bodyLength = frame[2];
    *length = bodyLength;
    // The copy covers the length byte's count from the payload on: the payload, the checksum and a zero
    // byte. Callers read only the payload.
    std::memcpy(buffer, frame + 4, bodyLength - 1);
    buffer[bodyLength - 1] = 0;
    return frame[3];
}

HandsetFrameEvent DecodeHandsetFrame(int command, const uint8_t* payload, int length) {
    HandsetFrameEvent event;
    // A frame too short for what its command carries is dropped like an unknown one.
    int payloadLength = length - 2;
    switch (command) {
    case CmdKey:
        if (payloadLength >= 3 && payload[1] == KeyMark) {
            event.eventCode = payload[2];
            event.result = 1;
        }
        break;
    case CmdRelease:
        if (payloadLength >= 1) {
            event.acknowledge = true;
            event.acknowledgeByte = payload[0];
            event.eventCode = ReleaseEventCode;
            event.result = 1;
        }
        break;
    case CmdConnect:
        event.eventCode = ConnectEventCode;
        event.result = 1;
        break;
    case CmdKeyNotice:
        if (payloadLength >= 3) {
            if (payload[1] == KeyMark)
                event.eventCode = payload[2];
            event.result = 1;
        }
        break;
    default:
        break;
    }
    return event;
}
