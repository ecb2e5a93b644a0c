// G.711 against ITU-T G.711's own description: the decoder's output levels from its tables' formula, the
// encoder's decisions as the nearest level, and the codes sent on the line for known samples.
#include <gtest/gtest.h>

#include <cstdlib>

#include "siplink/sound/G711.h"

namespace {

using sound::AlawFromLinear;
using sound::LinearFromAlaw;
using sound::LinearFromUlaw;
using sound::UlawFromLinear;

// G.711 table 2a (mu-law): segment s, step m, sign bit set for positive values once all bits are inverted;
// decoder output ((2m + 33) << s) - 33 in 14-bit units, 4 to a 16-bit unit.
int UlawLevel(uint8_t code) {
    int bits = ~code & 0xFF;
    int s = (bits >> 4) & 7, m = bits & 15;
    int level = 4 * (((2 * m + 33) << s) - 33);
    return (bits & 0x80) != 0 ? -level : level;
}

// G.711 table 1a (A-law): even bits inverted; segment 0 gives 2m + 1, segment s > 0 (2m + 33) << (s - 1)
// in 13-bit units, 8 to a 16-bit unit; sign bit set for positive values.
int AlawLevel(uint8_t code) {
    int bits = code ^ 0x55;
    int s = (bits >> 4) & 7, m = bits & 15;
    int level = 8 * (s == 0 ? 2 * m + 1 : (2 * m + 33) << (s - 1));
    return (bits & 0x80) != 0 ? level : -level;
}

// Half the distance between two levels of the segment the sample lies in.
int UlawHalfStep(int sample) {
    int segment = 0;
    while (segment < 7 && std::abs(sample) + 132 >= (256 << segment))
        ++segment;
    return 4 << segment;
}

int AlawHalfStep(int sample) {
    int magnitude = sample < 0 ? -sample - 1 : sample;
    int segment = 0;
    while (segment < 7 && magnitude >= (256 << segment))
        ++segment;
    return segment < 2 ? 8 : 8 << (segment - 1);
}

TEST(G711, DecodersGiveTheLevelsOfTheStandardsTables) {
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(LinearFromUlaw(static_cast<uint8_t>(code)), UlawLevel(static_cast<uint8_t>(code))) << code;
        EXPECT_EQ(LinearFromAlaw(static_cast<uint8_t>(code)), AlawLevel(static_cast<uint8_t>(code))) << code;
    }
    // Known points: zero, the smallest and the largest levels, as on the line.
    EXPECT_EQ(LinearFromUlaw(0xFF), 0);
    EXPECT_EQ(LinearFromUlaw(0x7F), 0);
    EXPECT_EQ(LinearFromUlaw(0x80), 32124);
    EXPECT_EQ(LinearFromUlaw(0x00), -32124);
    EXPECT_EQ(LinearFromAlaw(0xD5), 8);
    EXPECT_EQ(LinearFromAlaw(0x55), -8);
    EXPECT_EQ(LinearFromAlaw(0xAA), 32256);
    EXPECT_EQ(LinearFromAlaw(0x2A), -32256);
}

TEST(G711, EncodersSendTheKnownCodes) {
    EXPECT_EQ(UlawFromLinear(0), 0xFF);
    EXPECT_EQ(UlawFromLinear(-1), 0x7F);
    EXPECT_EQ(UlawFromLinear(1000), 0xCE);
    EXPECT_EQ(UlawFromLinear(-1000), 0x4E);
    EXPECT_EQ(UlawFromLinear(32767), 0x80);
    EXPECT_EQ(UlawFromLinear(-32768), 0x00);
    EXPECT_EQ(AlawFromLinear(0), 0xD5);
    EXPECT_EQ(AlawFromLinear(-1), 0x55);
    EXPECT_EQ(AlawFromLinear(1000), 0xFA);
    EXPECT_EQ(AlawFromLinear(-1000), 0x7A);
    EXPECT_EQ(AlawFromLinear(32767), 0xAA);
    EXPECT_EQ(AlawFromLinear(-32768), 0x2A);
}

TEST(G711, EveryCodeSurvivesARoundTrip) {
    for (int code = 0; code < 256; ++code) {
        uint8_t c = static_cast<uint8_t>(code);
        // mu-law's negative zero (0x7F) comes back as its positive zero.
        EXPECT_EQ(UlawFromLinear(LinearFromUlaw(c)), c == 0x7F ? 0xFF : c) << code;
        EXPECT_EQ(AlawFromLinear(LinearFromAlaw(c)), c) << code;
    }
}

TEST(G711, EverySampleGoesToTheNearestLevelAndOrderIsKept) {
    int lastUlaw = -40000, lastAlaw = -40000;
    for (int sample = -32768; sample <= 32767; ++sample) {
        int16_t s = static_cast<int16_t>(sample);
        int ulaw = LinearFromUlaw(UlawFromLinear(s));
        int alaw = LinearFromAlaw(AlawFromLinear(s));
        // mu-law clips beyond its largest level plus half a step.
        if (std::abs(sample) <= 32635) {
            ASSERT_LE(std::abs(ulaw - sample), UlawHalfStep(sample)) << sample;
        }
        ASSERT_LE(std::abs(alaw - sample), AlawHalfStep(sample)) << sample;
        ASSERT_GE(ulaw, lastUlaw) << sample;
        ASSERT_GE(alaw, lastAlaw) << sample;
        lastUlaw = ulaw;
        lastAlaw = alaw;
    }
}

TEST(G711, PacketsOfAnyLengthGoBothWays) {
    // A 30 ms packet, as some far ends send.
    int16_t samples[240];
    for (int i = 0; i < 240; ++i)
        samples[i] = static_cast<int16_t>(i * 270 - 32000);
    for (sound::G711Law law : {sound::G711Law::Ulaw, sound::G711Law::Alaw}) {
        uint8_t codes[240];
        int16_t decoded[240];
        sound::EncodeG711(law, samples, 240, codes);
        sound::DecodeG711(law, codes, 240, decoded);
        for (int i = 0; i < 240; ++i) {
            bool ulaw = law == sound::G711Law::Ulaw;
            EXPECT_EQ(codes[i], ulaw ? UlawFromLinear(samples[i]) : AlawFromLinear(samples[i]));
            EXPECT_EQ(decoded[i], ulaw ? LinearFromUlaw(codes[i]) : LinearFromAlaw(codes[i]));
        }
    }
}

} // namespace
