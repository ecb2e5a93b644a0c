#pragma once
// G.711, the telephone's 8-bit companding of 16-bit linear samples: mu-law (RTP's PCMU, payload type 0)
// and A-law (PCMA, payload type 8). Plain C++.
#include <cstddef>
#include <cstdint>

namespace sound {

enum class G711Law { Ulaw, Alaw };

uint8_t UlawFromLinear(int16_t sample);
int16_t LinearFromUlaw(uint8_t code);
uint8_t AlawFromLinear(int16_t sample);
int16_t LinearFromAlaw(uint8_t code);

// `count` samples into as many codes, or back: a packet's payload of any length (far ends may send
// packets of 10 or 30 ms, not only our 20 ms).
void EncodeG711(G711Law law, const int16_t* samples, size_t count, uint8_t* codes);
void DecodeG711(G711Law law, const uint8_t* codes, size_t count, int16_t* samples);

} // namespace sound
