#include "dect/PacketLink.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/TraceLog.h"

namespace {

constexpr int TrafficLevel = 20;
// Room for the longest frame a length byte can announce, plus the byte after it that the payload copy
// covers, so that no length byte makes the copy run past the buffer.
constexpr int FrameBufferSize = FrameHeaderLength + 255 + 1;

// Every byte as "%02x ", in order.
std::string HexDump(const uint8_t* bytes, int count) {
    std::string text;
    char hex[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
        text += hex;
    }
    return text;
}

} // namespace

uint8_t FrameChecksum(const uint8_t* bytes, int count) {
    uint8_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

int PacketLink::SendPacket(uint8_t command, const uint8_t* payload, int length) {
    uint8_t frame[MaxPayloadLength + FrameOverhead];
    int count = 0;
    if (length >= 0 && length <= MaxPayloadLength) {
        uint8_t* body = frame;
        if (command != CmdRaw) {
            frame[0] = FrameStart;
            frame[1] = FrameStart;
            frame[2] = static_cast<uint8_t>(length + 2);
            frame[3] = command;
            body = frame + 4;
        }
        if (length > 0)
            std::memcpy(body, payload, length);
        count = static_cast<int>(body - frame) + length;
        if (command != CmdRaw) {
            frame[count] = FrameChecksum(frame + 2, length + 2);
            ++count;
        }
    }
    // One write per frame keeps frames from two threads whole.
    int written = count > 0 ? WriteBytes(frame, count) : 0;
    if (written > 0)
        Trace(TrafficLevel, "[MAIN -> DECT] : %s", HexDump(frame, written).c_str());
    else
        Trace(TrafficLevel, "[MAIN -> DECT] : fail");
    return written;
}

namespace {

// Reads one byte per attempt, pausing after each whether a byte came or not, until `wanted` bytes are in
// or the attempts run out; answers whether they are in.
bool ReadPaced(PacketLink& link, uint8_t* frame, int& count, int wanted) {
    for (int attempt = 0; attempt < MaxReceiveAttempts && count < wanted; ++attempt) {
        if (link.ReadBytes(frame + count, 1) == 1)
            ++count;
        Sleep(ReceivePauseMs);
    }
    return count >= wanted;
}

} // namespace

int PacketLink::ReceivePacket(uint8_t* buffer, int* length) {
    uint8_t frame[FrameBufferSize] = {};
    if (ReadBytes(frame, 1) != 1)
        return 0;
    int count = 1;
    if (!ReadPaced(*this, frame, count, FrameHeaderLength)) {
        Trace(TrafficLevel, "1.Reach max read times...");
        return 0;
    }
    if (frame[0] != FrameStart || frame[1] != FrameStart)
        return 0;
    int bodyLength = frame[2];
    if (!ReadPaced(*this, frame, count, bodyLength + FrameHeaderLength)) {
        Trace(TrafficLevel, "2.Reach max read times");
        return 0;
    }
    int result = 0;
    if (bodyLength < 2) {
        // The length byte leaves no room for a command.
        Trace(TrafficLevel, "No command in frame, drop it");
    } else if (FrameChecksum(frame + 2, bodyLength) == frame[bodyLength + 2]) {
        result = frame[3];
        *length = bodyLength;
        std::memcpy(buffer, frame + 4, bodyLength);
    } else {
        Trace(TrafficLevel, "Check sum error, drop it");
    }
    Trace(TrafficLevel, "[DECT -> MAIN] : %s", HexDump(frame, count).c_str());
    return result;
}
