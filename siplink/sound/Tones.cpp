#include "siplink/sound/Tones.h"

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

constexpr Tone Etsi425(unsigned onMs, unsigned offMs) {
    return Tone{425, 0, {onMs, offMs, 0, 0}};
}

struct CountryEntry {
    const char* code;
    CountryTones tones;
};

// ITU-T E.180 Supplement 2: Hz, then on/off in ms.
const CountryTones Etsi = {"ETSI", Etsi425(1000, 4000), Etsi425(500, 500)};
const CountryEntry Countries[] = {
    {"49", {"DE", Etsi425(1000, 4000), Etsi425(480, 480)}},
    {"31", {"NL", Etsi425(1000, 4000), Etsi425(500, 500)}},
    {"41", {"CH", Etsi425(1000, 4000), Etsi425(500, 500)}},
    {"45", {"DK", Etsi425(1000, 4000), Etsi425(500, 500)}},
    {"47", {"NO", Etsi425(1000, 4000), Etsi425(500, 500)}},
    {"48", {"PL", Etsi425(1000, 4000), Etsi425(500, 500)}},
    {"39", {"IT", Etsi425(1000, 4000), Etsi425(500, 500)}},
    {"33", {"FR", {440, 0, {1500, 3500, 0, 0}}, {440, 0, {500, 500, 0, 0}}}},
    {"34", {"ES", Etsi425(1500, 3000), Etsi425(200, 200)}},
    {"46", {"SE", Etsi425(1000, 5000), Etsi425(250, 250)}},
    {"44", {"UK", {400, 450, {400, 200, 400, 2000}}, {400, 0, {375, 375, 0, 0}}}},
    {"1", {"US", {440, 480, {2000, 4000, 0, 0}}, {480, 620, {500, 500, 0, 0}}}},
};

// The calling code's digits without the international prefix the user may have written ("+", "00") or
// the blanks around it; empty when it is not a number.
std::string CallingCodeDigits(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    std::string code = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (code.compare(0, 1, "+") == 0)
        code.erase(0, 1);
    else if (code.compare(0, 2, "00") == 0)
        code.erase(0, 2);
    if (code.find_first_not_of("0123456789") != std::string::npos)
        return std::string();
    return code;
}

constexpr unsigned RampSamples = SampleRate / 1000 * 4;
constexpr double TwoPi = 6.283185307179586;

double Amplitude(const Tone& tone) {
    double dbm0 = ToneLevelDbm0 - (tone.highHz != 0 ? 10 * std::log10(2.0) : 0.0);
    return ZeroDbm0Amplitude * std::pow(10.0, dbm0 / 20);
}

} // namespace

const CountryTones& TonesForCountryCode(const std::string& countryCode) {
    std::string digits = CallingCodeDigits(countryCode);
    for (const CountryEntry& entry : Countries)
        if (digits == entry.code)
            return entry.tones;
    return Etsi;
}

ToneGenerator::ToneGenerator(const Tone& tone) : tone(tone) {
    for (unsigned ms : tone.cadenceMs)
        cycleSamples += ms * (SampleRate / 1000);
}

double ToneGenerator::Envelope() const {
    // A tone without a cadence sounds all the time.
    if (cycleSamples == 0)
        return 1;
    unsigned start = 0;
    for (size_t spell = 0; spell < tone.cadenceMs.size(); ++spell) {
        unsigned length = tone.cadenceMs[spell] * (SampleRate / 1000);
        if (position < start + length) {
            if (spell % 2 == 1)
                return 0;
            unsigned fromEdge = std::min(position - start, start + length - 1 - position);
            return fromEdge >= RampSamples ? 1 : (fromEdge + 0.5) / RampSamples;
        }
        start += length;
    }
    return 0;
}

void ToneGenerator::Next(Frame& frame) {
    const double amplitude = Amplitude(tone);
    const double lowStep = TwoPi * tone.lowHz / SampleRate;
    const double highStep = TwoPi * tone.highHz / SampleRate;
    for (int16_t& sample : frame) {
        double value = std::sin(lowPhase) + (tone.highHz != 0 ? std::sin(highPhase) : 0.0);
        sample = static_cast<int16_t>(std::lround(amplitude * Envelope() * value));
        lowPhase = std::fmod(lowPhase + lowStep, TwoPi);
        highPhase = std::fmod(highPhase + highStep, TwoPi);
        if (cycleSamples != 0)
            position = (position + 1) % cycleSamples;
    }
}

} // namespace sound
