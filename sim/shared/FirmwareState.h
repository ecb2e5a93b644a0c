#pragma once
// The base's firmware and its handset, as the simulation keeps them.
#include <cstdint>

constexpr int FrameLogCapacity = 256;
constexpr int FrameBytesMax = 32; // the firmware's frame buffer: a length byte above 29 makes a bad frame

struct LoggedFrame {
    uint8_t length;
    uint8_t bytes[FrameBytesMax];
};

// The bytes from the program that may still start a frame.
struct FrameAssembly {
    uint8_t bytes[FrameBytesMax];
    uint32_t count;
};

struct FirmwareState {
    char display[13]; // the handset's 12-character display
    int32_t ringing;
    char caller[13];
    int32_t inCall;
    int32_t skypeLight;     // from register 16 bit 1, active low
    int32_t callLight;      // from register 16 bit 3, active low
    int32_t lastReleaseAck; // payload of the last CmdReleaseAck, -1 before any
    int32_t initialised;    // a CmdInit has arrived
    uint32_t framesByCommand[256];
    uint32_t badFrames;  // started with '$' '$' but had an impossible length or a wrong checksum
    uint32_t strayBytes; // bytes skipped while looking for '$' '$'
    uint32_t frameCount; // good frames received (the log keeps the first FrameLogCapacity)
    LoggedFrame frames[FrameLogCapacity];
    FrameAssembly assembly;
};
