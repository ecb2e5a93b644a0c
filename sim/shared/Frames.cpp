#include "sim/shared/Frames.h"

namespace sim {

namespace {

uint8_t Sum(const uint8_t* bytes, int count) {
    uint8_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

} // namespace

std::vector<uint8_t> BuildFrame(uint8_t command, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + 5);
    frame.push_back(Marker);
    frame.push_back(Marker);
    frame.push_back(static_cast<uint8_t>(payload.size() + 2));
    frame.push_back(command);
    for (uint8_t byte : payload)
        frame.push_back(byte);
    frame.push_back(static_cast<uint8_t>(-Sum(frame.data() + 2, static_cast<int>(frame.size()) - 2)));
    return frame;
}

FrameCheck CheckFrame(const uint8_t* bytes, int count, int capacity, int* frameLength) {
    for (int i = 0; i < 2; ++i) {
        if (count <= i)
            return FrameCheck::Incomplete;
        if (bytes[i] != Marker)
            return FrameCheck::NoMarker;
    }
    if (count < 3)
        return FrameCheck::Incomplete;
    int length = bytes[2] + 3;
    if (bytes[2] < 2 || length > capacity)
        return FrameCheck::Bad;
    if (count < length)
        return FrameCheck::Incomplete;
    // The length byte, the command, the payload and the checksum add up to 0.
    if (Sum(bytes + 2, length - 2) != 0)
        return FrameCheck::Bad;
    *frameLength = length;
    return FrameCheck::Good;
}

} // namespace sim
