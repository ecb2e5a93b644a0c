#pragma once
// The phone's sound as every part of it sees it: 8 kHz mono 16-bit linear samples in 20 ms frames, the
// packet time of G.711 over RTP.
#include <array>
#include <cstdint>

namespace sound {

constexpr unsigned SampleRate = 8000;
constexpr unsigned FrameMs = 20;
constexpr unsigned FrameSamples = SampleRate / 1000 * FrameMs; // 160
using Frame = std::array<int16_t, FrameSamples>;

} // namespace sound
