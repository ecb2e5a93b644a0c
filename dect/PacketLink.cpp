#include "dect/PacketLink.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/Clock.h"
#include "support/TraceLog.h"

namespace {

constexpr int TrafficLevel = 20;

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

// Takes the bytes as they come until `wanted` are in: at most MaxReceiveAttempts of them, within the
// MaxReceiveAttempts x ReceivePauseMs that paced attempts of one byte each used to take, so that what a
// frame from the base may be, and when it is given up, stay as they were. Answers whether they are in.
bool ReadInTime(PacketLink& link, uint8_t* frame, int& count, int wanted) {
    const double boundMs = MaxReceiveAttempts * ReceivePauseMs;
    const double start = NowMs();
    HANDLE arrived = link.InboundEvent();
    int taken = 0;
    while (count < wanted && taken < MaxReceiveAttempts) {
        int got = link.ReadBytes(frame + count, std::min(wanted - count, MaxReceiveAttempts - taken));
        if (got > 0) {
            count += got;
            taken += got;
            continue;
        }
        double leftMs = boundMs - (NowMs() - start);
        if (leftMs <= 0)
            break;
        DWORD waitMs = static_cast<DWORD>(leftMs) + 1;
        if (arrived)
            WaitForSingleObject(arrived, waitMs);
        else
            Sleep(waitMs); // the link cannot tell when bytes come: look once more at the end
    }
    return count >= wanted;
}

} // namespace

// Once a frame's first byte is in, anything but a good frame loses what the base sent.
int PacketLink::ReceivePacket(uint8_t* buffer, int* length) {
    uint8_t frame[MaxFrameLength] = {};
    if (ReadBytes(frame, 1) != 1)
        return 0;
    int count = 1;
    if (!ReadInTime(*this, frame, count, FrameHeaderLength)) {
        Trace(TrafficLevel, "1.Reach max read times...");
        frameLost = true;
        return 0;
    }
    if (!HasFrameStart(frame)) {
        frameLost = true;
        return 0;
    }
    if (!ReadInTime(*this, frame, count, AnnouncedFrameLength(frame))) {
        Trace(TrafficLevel, "2.Reach max read times");
        frameLost = true;
        return 0;
    }
    int result = 0;
    FrameVerdict verdict = CheckFrame(frame);
    switch (verdict) {
    case FrameVerdict::Good:
        result = TakePayload(frame, buffer, length);
        break;
    case FrameVerdict::NoCommand:
        Trace(TrafficLevel, "No command in frame, drop it");
        break;
    case FrameVerdict::TooLong:
        Trace(TrafficLevel, "Frame too long, drop it");
        break;
    case FrameVerdict::BadChecksum:
        Trace(TrafficLevel, "Check sum error, drop it");
        break;
    }
    if (verdict != FrameVerdict::Good)
        frameLost = true;
    Trace(TrafficLevel, "[DECT -> MAIN] : %s", HexDump(frame, count).c_str());
    return result;
}

bool PacketLink::TakeFrameLost() {
    bool lost = frameLost;
    frameLost = false;
    return lost;
}
