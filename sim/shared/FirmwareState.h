#pragma once
// The base's firmware and its handset, as the simulation keeps them.
#include <cstdint>

constexpr int FrameLogCapacity = 256;
constexpr int FrameBytesMax = 32;

struct LoggedFrame {
    uint8_t length;
    uint8_t bytes[FrameBytesMax];
};

struct FirmwareState {
    char display[13];      // the handset's 12-character display
    int32_t ringing;
    char caller[13];
    int32_t inCall;
    int32_t skypeLight;    // from register 16 bit 1, active low
    int32_t callLight;     // from register 16 bit 3, active low
    int32_t lastReleaseAck; // payload of the last CmdReleaseAck, -1 before any
    uint32_t framesByCommand[256];
    uint32_t badFrames;
    uint32_t frameCount;
    LoggedFrame frames[FrameLogCapacity];
};
