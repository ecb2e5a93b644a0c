#pragma once
// G.711 (ITU-T), the phone's two codecs: mu-law (PCMU) and A-law (PCMA), 8 bits a sample.
#include <cstdint>

namespace phone {

uint8_t LinearToUlaw(int16_t sample);
int16_t UlawToLinear(uint8_t code);
uint8_t LinearToAlaw(int16_t sample);
int16_t AlawToLinear(uint8_t code);

} // namespace phone
