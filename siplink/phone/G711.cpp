// G.711 by the segment tables of the recommendation (as in Sun's public-domain g711.c).
#include "siplink/phone/G711.h"

namespace phone {

namespace {

// The segment of a magnitude: the position of its highest bit above the first step.
int Segment(int magnitude, int first) {
    int segment = 0;
    for (int limit = first; segment < 8 && magnitude > limit; limit = limit * 2 + 1)
        ++segment;
    return segment;
}

constexpr int UlawBias = 0x84;
constexpr int UlawClip = 32635;

} // namespace

uint8_t LinearToUlaw(int16_t sample) {
    int value = sample;
    int sign = value < 0 ? 0x80 : 0;
    int magnitude = value < 0 ? -value : value;
    if (magnitude > UlawClip)
        magnitude = UlawClip;
    magnitude += UlawBias;
    int segment = Segment(magnitude >> 7, 1);
    int mantissa = (magnitude >> (segment + 3)) & 0x0F;
    return static_cast<uint8_t>(~(sign | (segment << 4) | mantissa));
}

int16_t UlawToLinear(uint8_t code) {
    int value = ~code & 0xFF;
    int magnitude = (((value & 0x0F) << 3) + UlawBias) << ((value & 0x70) >> 4);
    return static_cast<int16_t>((value & 0x80) ? UlawBias - magnitude : magnitude - UlawBias);
}

uint8_t LinearToAlaw(int16_t sample) {
    int value = sample >> 3; // A-law works on 13 bits
    int sign = value >= 0 ? 0x80 : 0;
    int magnitude = value >= 0 ? value : -value - 1;
    int segment = Segment(magnitude, 0x1F);
    int code;
    if (segment >= 8)
        code = 0x7F;
    else
        code = (segment << 4) | ((segment < 2 ? magnitude >> 1 : magnitude >> segment) & 0x0F);
    return static_cast<uint8_t>((sign | code) ^ 0x55);
}

int16_t AlawToLinear(uint8_t code) {
    int value = code ^ 0x55;
    int segment = (value & 0x70) >> 4;
    int magnitude = (value & 0x0F) << 4;
    if (segment == 0)
        magnitude += 8;
    else
        magnitude = (magnitude + 0x108) << (segment - 1);
    return static_cast<int16_t>((value & 0x80) ? magnitude : -magnitude);
}

} // namespace phone
