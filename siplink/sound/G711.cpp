#include "siplink/sound/G711.h"

namespace sound {

namespace {

// mu-law works on 14 bits: the 16-bit magnitude, clipped, plus the bias that puts segment 0's start at 33
// (in 14-bit steps) gives the segment as the position of its top bit.
constexpr int UlawBias = 0x84;
constexpr int UlawClip = 32635;

int TopBit(int value) {
    int bit = -1;
    while (value != 0) {
        value >>= 1;
        ++bit;
    }
    return bit;
}

} // namespace

uint8_t UlawFromLinear(int16_t sample) {
    bool negative = sample < 0;
    int magnitude = negative ? -static_cast<int>(sample) : sample;
    if (magnitude > UlawClip)
        magnitude = UlawClip;
    magnitude += UlawBias;
    int segment = TopBit(magnitude) - 7;
    int mantissa = (magnitude >> (segment + 3)) & 0x0F;
    // All bits are sent inverted; the sign bit is 1 for positive samples on the line.
    return static_cast<uint8_t>((segment << 4 | mantissa) ^ (negative ? 0x7F : 0xFF));
}

int16_t LinearFromUlaw(uint8_t code) {
    int bits = ~code & 0xFF;
    int segment = (bits >> 4) & 0x07;
    int magnitude = (((bits & 0x0F) << 3) + UlawBias) << segment;
    return static_cast<int16_t>((bits & 0x80) != 0 ? UlawBias - magnitude : magnitude - UlawBias);
}

uint8_t AlawFromLinear(int16_t sample) {
    // A-law works on 13 bits; a negative sample's magnitude is its one's complement, so that -1 and 0 lie in
    // the two smallest steps around zero. Every other bit is sent inverted (XOR 0x55); the sign bit is 1 for
    // positive samples.
    int value = sample >> 3;
    int mask = 0xD5;
    if (value < 0) {
        mask = 0x55;
        value = -value - 1;
    }
    int segment = value < 0x20 ? 0 : TopBit(value) - 4;
    int mantissa = (segment < 2 ? value >> 1 : value >> segment) & 0x0F;
    return static_cast<uint8_t>((segment << 4 | mantissa) ^ mask);
}

int16_t LinearFromAlaw(uint8_t code) {
    int bits = code ^ 0x55;
    int segment = (bits >> 4) & 0x07;
    int magnitude = (bits & 0x0F) << 4;
    magnitude = segment == 0 ? magnitude + 8 : (magnitude + 0x108) << (segment - 1);
    return static_cast<int16_t>((bits & 0x80) != 0 ? magnitude : -magnitude);
}

void EncodeG711(G711Law law, const int16_t* samples, size_t count, uint8_t* codes) {
    for (size_t i = 0; i < count; ++i)
        codes[i] = law == G711Law::Ulaw ? UlawFromLinear(samples[i]) : AlawFromLinear(samples[i]);
}

void DecodeG711(G711Law law, const uint8_t* codes, size_t count, int16_t* samples) {
    for (size_t i = 0; i < count; ++i)
        samples[i] = law == G711Law::Ulaw ? LinearFromUlaw(codes[i]) : LinearFromAlaw(codes[i]);
}

} // namespace sound
