// The call-progress tones as the generator makes them, sample-exact: the country a calling code chooses,
// the frequencies, the cadence, the level and a sine that runs on across frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "siplink/sound/Tones.h"
#include "tests/common/SoundAnalysis.h"

namespace {

using sound::Frame;
using sound::ToneGenerator;
using sound::TonesForCountryCode;

std::vector<int16_t> Generate(const sound::Tone& tone, unsigned frames) {
    ToneGenerator generator(tone);
    std::vector<int16_t> samples;
    Frame frame;
    for (unsigned i = 0; i < frames; ++i) {
        generator.Next(frame);
        samples.insert(samples.end(), frame.begin(), frame.end());
    }
    return samples;
}

// The lengths of the sounding and silent spells in ms, in order, the first sounding: a millisecond is
// silent when all its 8 samples are 0 (a sine passes 0 only now and then).
std::vector<unsigned> SpellsMs(const std::vector<int16_t>& samples) {
    std::vector<unsigned> spells{0};
    bool sounding = true;
    for (size_t ms = 0; ms + 8 <= samples.size(); ms += 8) {
        bool silent =
            std::all_of(samples.begin() + ms, samples.begin() + ms + 8, [](int16_t s) { return s == 0; });
        if (silent == sounding) {
            spells.push_back(0);
            sounding = !sounding;
        }
        ++spells.back();
    }
    return spells;
}

TEST(Tones, CallingCodesChooseTheirCountrysTones) {
    EXPECT_STREQ(TonesForCountryCode("49").country, "DE");
    EXPECT_STREQ(TonesForCountryCode("0049").country, "DE");
    EXPECT_STREQ(TonesForCountryCode("+49").country, "DE");
    EXPECT_STREQ(TonesForCountryCode(" +49 ").country, "DE");
    EXPECT_STREQ(TonesForCountryCode("31").country, "NL");
    EXPECT_STREQ(TonesForCountryCode("44").country, "UK");
    EXPECT_STREQ(TonesForCountryCode("001").country, "US");
    EXPECT_STREQ(TonesForCountryCode("1").country, "US");
    EXPECT_STREQ(TonesForCountryCode("33").country, "FR");
    // Empty, unknown, a part of a code, or not a number: ETSI's.
    for (const char* code : {"", " ", "999", "4", "490", "+", "00", "+4 9", "de", "0049x"})
        EXPECT_STREQ(TonesForCountryCode(code).country, "ETSI") << '"' << code << '"';
}

TEST(Tones, TheTableHoldsTheCountriesOfE180) {
    struct Expected {
        const char* code;
        unsigned ringHz, ringOn, ringOff, busyHz, busyOn;
    };
    const Expected table[] = {{"49", 425, 1000, 4000, 425, 480}, {"31", 425, 1000, 4000, 425, 500},
                              {"41", 425, 1000, 4000, 425, 500}, {"45", 425, 1000, 4000, 425, 500},
                              {"47", 425, 1000, 4000, 425, 500}, {"48", 425, 1000, 4000, 425, 500},
                              {"39", 425, 1000, 4000, 425, 500}, {"33", 440, 1500, 3500, 440, 500},
                              {"34", 425, 1500, 3000, 425, 200}, {"46", 425, 1000, 5000, 425, 250},
                              {"44", 400, 400, 200, 400, 375},   {"1", 440, 2000, 4000, 480, 500},
                              {"", 425, 1000, 4000, 425, 500}};
    for (const Expected& e : table) {
        const sound::CountryTones& tones = TonesForCountryCode(e.code);
        EXPECT_EQ(tones.ringback.lowHz, e.ringHz) << e.code;
        EXPECT_EQ(tones.ringback.cadenceMs[0], e.ringOn) << e.code;
        EXPECT_EQ(tones.ringback.cadenceMs[1], e.ringOff) << e.code;
        EXPECT_EQ(tones.busy.lowHz, e.busyHz) << e.code;
        EXPECT_EQ(tones.busy.cadenceMs[0], e.busyOn) << e.code;
        // Busy tones are on as long as they are off.
        EXPECT_EQ(tones.busy.cadenceMs[1], e.busyOn) << e.code;
    }
    EXPECT_EQ(TonesForCountryCode("44").ringback.highHz, 450u);
    EXPECT_EQ(TonesForCountryCode("44").ringback.cadenceMs[2], 400u);
    EXPECT_EQ(TonesForCountryCode("44").ringback.cadenceMs[3], 2000u);
    EXPECT_EQ(TonesForCountryCode("1").ringback.highHz, 480u);
    EXPECT_EQ(TonesForCountryCode("1").busy.highHz, 620u);
}

TEST(Tones, CadenceIsSampleExactAndRepeats) {
    // Two cycles of Germany's ringback (1 s on, 4 s off) and three of the UK's (0.4, 0.2, 0.4, 2 s).
    std::vector<unsigned> de = SpellsMs(Generate(TonesForCountryCode("49").ringback, 2 * 250 + 1));
    EXPECT_EQ(de, (std::vector<unsigned>{1000, 4000, 1000, 4000, 20}));
    std::vector<unsigned> uk = SpellsMs(Generate(TonesForCountryCode("44").ringback, 3 * 150 + 1));
    EXPECT_EQ(uk, (std::vector<unsigned>{400, 200, 400, 2000, 400, 200, 400, 2000, 400, 200, 400, 2000, 20}));
}

TEST(Tones, FrequencyAndLevelAreRight) {
    // -10 dBm0: a sine of 7180 in 16 bits; a dual tone splits it, -13 dBm0 each.
    std::vector<int16_t> busy = Generate(TonesForCountryCode("49").busy, 24); // the first 480 ms
    std::vector<int16_t> middle(busy.begin() + 400, busy.begin() + 3600);
    EXPECT_NEAR(test::PeakFrequency(middle), 425, 0.5);
    EXPECT_NEAR(test::ToneAmplitude(middle.data(), middle.size(), 425), 7180, 40);
    EXPECT_GT(test::ToneShare(middle.data(), middle.size(), 425), 0.99);

    std::vector<int16_t> us = Generate(TonesForCountryCode("1").busy, 25); // 500 ms of 480 + 620 Hz
    std::vector<int16_t> both(us.begin() + 400, us.begin() + 3600);
    EXPECT_NEAR(test::ToneAmplitude(both.data(), both.size(), 480), 5077, 40);
    EXPECT_NEAR(test::ToneAmplitude(both.data(), both.size(), 620), 5077, 40);
    EXPECT_NEAR(test::ToneShare(both.data(), both.size(), 480) +
                    test::ToneShare(both.data(), both.size(), 620),
                1.0, 0.02);
}

TEST(Tones, TheSineRunsOnAcrossFramesAndFadesAtTheSpellsEdges) {
    std::vector<int16_t> samples = Generate(TonesForCountryCode("").busy, 60); // 1.2 s of 0.5 / 0.5
    // No step between two samples larger than the sine's own steepest (amplitude * 2 pi f / rate) and a
    // fade's, frame boundaries included: a sine started anew would jump by up to twice its amplitude.
    double steepest = 7180 * (2 * 3.14159265 * 425 / 8000 + 1.0 / 32);
    for (size_t i = 1; i < samples.size(); ++i)
        ASSERT_LE(std::abs(samples[i] - samples[i - 1]), steepest + 2) << "sample " << i;
    // A spell starts and ends quietly (4 ms fades) and is full in between.
    EXPECT_LT(std::abs(samples[0]), 300);
    EXPECT_LT(std::abs(samples[3999]), 300);
    EXPECT_EQ(samples[4000], 0);
    EXPECT_LT(std::abs(samples[8000]), 300);
    int16_t loudest = 0;
    for (size_t i = 32; i < 4000 - 32; ++i)
        loudest = std::max<int16_t>(loudest, static_cast<int16_t>(std::abs(samples[i])));
    EXPECT_GT(loudest, 7000);
}

} // namespace
