// Ringback and busy as the handset's user hears them: played by the port to the base's speaker and
// recorded there, with their frequency and cadence, for Germany and for ETSI's default.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "siplink/sound/SoundPort.h"
#include "siplink/sound/Tones.h"
#include "tests/common/SandboxSound.h"
#include "tests/common/SoundAnalysis.h"
#include "tests/common/TestSupport.h"

namespace {

struct Case {
    const char* name;
    const char* countryCode;
    bool ringback;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class TonePlayback : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override { ASSERT_TRUE(test::PlugBase()); }
};

// A quiet pilot far above the tones goes with everything the test plays: where the recording lacks it,
// the player ran late (a dropout), which the loaded machine causes now and then.
constexpr double PilotHz = 3000;
constexpr double TwoPi = 6.283185307179586;

TEST_P(TonePlayback, SoundsAtTheBasesSpeakerWithItsFrequencyAndCadence) {
    const sound::CountryTones& tones = sound::TonesForCountryCode(GetParam().countryCode);
    const sound::Tone& tone = GetParam().ringback ? tones.ringback : tones.busy;
    std::vector<unsigned> cadence(tone.cadenceMs.begin(), tone.cadenceMs.end());
    cadence.erase(std::remove(cadence.begin(), cadence.end(), 0u), cadence.end());

    test::SoundRecording speaker;
    ASSERT_TRUE(speaker.Start(test::BaseSpeakerSound, GetParam().name));
    sound::ToneGenerator generator(tone);
    double pilotPhase = 0;
    sound::SoundPort port({nullptr,
                           [&](sound::Frame& frame) {
                               generator.Next(frame);
                               for (int16_t& sample : frame) {
                                   sample = static_cast<int16_t>(sample + 1000 * std::sin(pilotPhase));
                                   pilotPhase =
                                       std::fmod(pilotPhase + TwoPi * PilotHz / sound::SampleRate, TwoPi);
                               }
                               return true;
                           },
                           nullptr});
    port.Start(test::BaseSpeaker, "");
    // One whole cycle and the start of the next, wherever the server's delay puts them: exact on the
    // player's time line (the dropouts cut out), and through the dropouts as recorded.
    std::vector<int16_t> samples;
    bool exact = false, throughDropouts = false;
    test::WaitUntil(
        [&] {
            samples = speaker.Samples();
            exact = exact ||
                    test::HasCadence(test::ToneBursts(test::WithoutDropouts(samples, PilotHz), tone.lowHz),
                                     cadence, 60);
            throughDropouts =
                throughDropouts || test::HasCadenceDespiteDropouts(samples, tone.lowHz, cadence, 80);
            return exact && throughDropouts;
        },
        30000);
    port.Stop();
    std::string seen;
    for (const test::Burst& burst : test::ToneBursts(samples, tone.lowHz))
        seen += " " + std::to_string(static_cast<int>(burst.startMs)) + "+" +
                std::to_string(static_cast<int>(burst.lengthMs));
    std::string dropouts;
    for (const test::Stretch& dropout : test::Dropouts(samples, PilotHz))
        dropouts += " " + std::to_string(dropout.from / 8) + "+" + std::to_string(dropout.count / 8);
    EXPECT_TRUE(exact) << "no exact cycle; spells at " << tone.lowHz << " Hz (start+length ms):" << seen
                       << "; dropouts:" << dropouts;
    EXPECT_TRUE(throughDropouts) << "no cycle through the dropouts; spells:" << seen
                                 << "; dropouts:" << dropouts;

    EXPECT_NEAR(test::FrequencyOfLongestSpell(samples, tone.lowHz), tone.lowHz, 3);
}

INSTANTIATE_TEST_SUITE_P(Tones, TonePlayback,
                         ::testing::Values(Case{"GermanRingback", "49", true},
                                           Case{"GermanBusy", "0049", false}, Case{"EtsiRingback", "", true},
                                           Case{"EtsiBusy", "+999", false}),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

} // namespace
