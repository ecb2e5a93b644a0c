#pragma once
// Frames between the program and the base, as the simulated base builds and checks them: '$', '$', the
// length (counting itself, the command and the payload), the command, the payload, the checksum.
#include <cstdint>
#include <vector>

namespace sim {

constexpr uint8_t Marker = 0x24;

enum Command : uint8_t {
    Init = 0,
    Key = 1,
    Release = 2,
    ReleaseAck = 3,
    Connect = 4,
    IncomingCall = 5,
    Display = 10,
    KeyNotice = 11,
};

std::vector<uint8_t> BuildFrame(uint8_t command, const std::vector<uint8_t>& payload);

enum class FrameCheck { Incomplete, Good, Bad, NoMarker };

// Looks at the bytes that may start a frame. NoMarker: byte 0 (or 1) is not '$'. Bad: the length byte
// is below 2 or the frame would exceed `capacity`, or the checksum is wrong. `frameLength` is set for Good.
FrameCheck CheckFrame(const uint8_t* bytes, int count, int capacity, int* frameLength);

} // namespace sim
