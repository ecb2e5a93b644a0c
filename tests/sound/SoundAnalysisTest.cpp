// The tests' sound analysis on made-up recordings: it must find a tone's frequency and cadence through
// late starts, noise and lost stretches, and must not find what is not there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/common/SoundAnalysis.h"

namespace {

// A recording assembled from spells of a sine (hz > 0) or silence (hz 0), with a little noise throughout and
// a pilot when asked, and dropouts: stretches of nothing at all, as a server plays while the player is late.
class Made {
  public:
    explicit Made(double pilotHz = 0) : pilotHz(pilotHz) {}
    Made& Add(double hz, unsigned ms, double amplitude = 7000) {
        for (unsigned i = 0; i < ms * 8; ++i, ++n) {
            double value = hz > 0 ? amplitude * std::sin(TwoPi * hz * n / 8000) : 0;
            value += pilotHz > 0 ? 1000 * std::sin(TwoPi * pilotHz * n / 8000) : 0;
            samples.push_back(static_cast<int16_t>(value + (std::rand() % 101 - 50)));
        }
        return *this;
    }
    Made& Drop(unsigned ms) {
        samples.insert(samples.end(), ms * 8, 0);
        return *this;
    }
    std::vector<int16_t> samples;

  private:
    static constexpr double TwoPi = 6.283185307179586;
    const double pilotHz;
    size_t n = 0;
};

TEST(SoundAnalysis, FindsTheFrequencyToHalfAHertz) {
    for (double hz : {425.0, 440.0, 1000.0, 400.0, 620.0}) {
        Made made;
        made.Add(hz, 300);
        EXPECT_NEAR(test::PeakFrequency(made.samples), hz, 1.0) << hz;
    }
    Made quiet;
    quiet.Add(0, 300).Add(1000, 200, 500);
    EXPECT_NEAR(test::PeakFrequency(quiet.samples), 1000, 1.0);
    EXPECT_EQ(test::PeakFrequency({}), 0);

    // The longest spell's, through a dropout in it; none without a spell.
    Made spells;
    spells.Add(0, 200).Add(440, 200).Add(0, 300).Add(440, 300).Drop(17).Add(440, 400).Add(0, 100);
    EXPECT_NEAR(test::FrequencyOfLongestSpell(spells.samples, 440), 440, 3);
    EXPECT_EQ(test::FrequencyOfLongestSpell(spells.samples, 1000), 0);
}

TEST(SoundAnalysis, FindsCadenceAfterALateStart) {
    // Ringback as a server records it: 237 ms late, two cycles and a cut third spell.
    Made made;
    made.Add(0, 237).Add(425, 1000).Add(0, 4000).Add(425, 1000).Add(0, 4000).Add(425, 300);
    std::vector<test::Burst> bursts = test::ToneBursts(made.samples, 425);
    ASSERT_EQ(bursts.size(), 3u);
    EXPECT_NEAR(bursts[0].startMs, 237, 15);
    EXPECT_NEAR(bursts[0].lengthMs, 1000, 20);
    EXPECT_NEAR(bursts[1].startMs, 5237, 15);
    EXPECT_TRUE(bursts[0].whole);
    EXPECT_FALSE(bursts[2].whole);
    EXPECT_TRUE(test::HasCadence(bursts, {1000, 4000}, 60));
    EXPECT_FALSE(test::HasCadence(bursts, {1500, 3500}, 60));
    EXPECT_FALSE(test::HasCadence(bursts, {1000, 5000}, 60));
    // 20 ms windows cannot tell 425 Hz from France's 440, the spell's frequency does.
    std::vector<int16_t> spell(made.samples.begin() + 5400 * 8, made.samples.begin() + 6200 * 8);
    EXPECT_NEAR(test::PeakFrequency(spell), 425, 1);
    EXPECT_TRUE(test::ToneBursts(made.samples, 1000).empty());
}

TEST(SoundAnalysis, ALostWindowJoinsAndALongStallIsPassedOver) {
    // Busy with a 20 ms hole in a spell (joined) but a short pause after it, then a 150 ms stall splitting
    // a spell: neither cycle fits; the clean one after them does.
    Made made;
    made.Add(0, 120).Add(425, 240).Add(0, 20).Add(425, 240).Add(0, 380);
    made.Add(425, 200).Add(0, 150).Add(425, 150).Add(0, 500);
    made.Add(425, 500).Add(0, 500).Add(425, 500).Add(0, 100);
    std::vector<test::Burst> bursts = test::ToneBursts(made.samples, 425);
    ASSERT_EQ(bursts.size(), 5u);
    EXPECT_NEAR(bursts[0].lengthMs, 500, 20);
    EXPECT_NEAR(bursts[0].toneMs, 480, 20);
    EXPECT_TRUE(test::HasCadence(bursts, {500, 500}, 60));
    EXPECT_FALSE(test::HasCadence(bursts, {250, 250}, 60));
    EXPECT_NEAR(test::LongestBurstMs(bursts), 500, 20);
}

TEST(SoundAnalysis, NeitherNoiseNorAnotherToneNorAWhisperIsATone) {
    Made made;
    made.Add(0, 500).Add(1000, 500).Add(425, 500, 300);
    std::vector<int16_t> noise;
    for (int i = 0; i < 4000; ++i)
        noise.push_back(static_cast<int16_t>(std::rand() % 16001 - 8000));
    EXPECT_TRUE(test::ToneBursts(made.samples, 425).empty());
    EXPECT_TRUE(test::ToneBursts(noise, 425).empty());
    EXPECT_LT(test::ToneShare(noise.data(), noise.size(), 425), 0.05);
    EXPECT_EQ(test::ToneBursts(made.samples, 1000).size(), 1u);
    // A two-frequency cadence (the UK's ringback shape) is followed spell by spell.
    Made uk;
    uk.Add(0, 100).Add(400, 400).Add(0, 200).Add(400, 400).Add(0, 2000).Add(400, 400).Add(0, 200);
    EXPECT_TRUE(test::HasCadence(test::ToneBursts(uk.samples, 400), {400, 200, 400, 2000}, 60));
    EXPECT_FALSE(test::HasCadence(test::ToneBursts(uk.samples, 400), {400, 200, 400, 200}, 60));
    EXPECT_FALSE(test::HasCadence(test::ToneBursts(uk.samples, 400), {1000, 4000}, 60));
}

TEST(SoundAnalysis, DropoutsAreFoundByThePilotAndPassedOver) {
    // Ringback whose player ran late three times: in a spell, in a silence, and in a spell again.
    Made made(3000);
    made.Add(0, 300).Add(425, 400).Drop(120).Add(425, 600).Add(0, 2000).Drop(300).Add(0, 2000);
    made.Add(425, 1000).Add(0, 1000).Drop(150).Add(0, 3000).Add(425, 1000).Add(0, 500);
    std::vector<test::Stretch> dropouts = test::Dropouts(made.samples, 3000);
    ASSERT_EQ(dropouts.size(), 3u);
    EXPECT_NEAR(dropouts[0].from / 8.0, 700, 10);
    EXPECT_NEAR(dropouts[0].count / 8.0, 120, 10);
    EXPECT_NEAR(dropouts[1].count / 8.0, 300, 10);
    EXPECT_NEAR(dropouts[2].count / 8.0, 150, 10);

    // As recorded no cycle is exact; without the dropouts every one is.
    EXPECT_FALSE(test::HasCadence(test::ToneBursts(made.samples, 425), {1000, 4000}, 60));
    std::vector<int16_t> played = test::WithoutDropouts(made.samples, 3000);
    EXPECT_NEAR(played.size() / 8.0, 300 + 5000 + 5000 + 1500, 10);
    EXPECT_TRUE(test::HasCadence(test::ToneBursts(played, 425), {1000, 4000}, 30));
    // Without a pilot: tone time and the least silence still tell the cadence, and tell it from others.
    EXPECT_TRUE(test::HasCadenceDespiteDropouts(made.samples, 425, {1000, 4000}, 60));
    EXPECT_FALSE(test::HasCadenceDespiteDropouts(made.samples, 425, {1500, 3500}, 60));
    EXPECT_FALSE(test::HasCadenceDespiteDropouts(made.samples, 425, {1000, 5000}, 60));
    EXPECT_FALSE(test::HasCadenceDespiteDropouts(made.samples, 425, {500, 500}, 60));
    // No pilot at all: no dropouts, nothing played.
    Made plain;
    plain.Add(425, 500).Drop(100).Add(425, 500);
    EXPECT_TRUE(test::Dropouts(plain.samples, 3000).empty());
    EXPECT_TRUE(test::WithoutDropouts(plain.samples, 3000).empty());
}

} // namespace
