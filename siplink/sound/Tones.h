#pragma once
// The call-progress tones the phone plays into the handset: ringback while the far end rings without
// sending its own sound, busy after a busy or failed call. Each country has its own (ITU-T E.180); the
// user's country code chooses, ETSI's 425 Hz tones serve every other country. Plain C++.
#include <array>
#include <string>

#include "siplink/sound/Frame.h"

namespace sound {

struct Tone {
    // One frequency, or two played together (highHz 0: one).
    unsigned lowHz;
    unsigned highHz;
    // On, off, on, off (ms), repeated; a cadence of one on and one off leaves the last two 0.
    std::array<unsigned, 4> cadenceMs;
};

struct CountryTones {
    const char* country; // "DE", ..., "ETSI" for the default
    Tone ringback;
    Tone busy;
};

// The tones of a country by its calling code as the user writes it ("49", "0049", "+49", "1"); ETSI's for
// an empty, unknown or unreadable code.
const CountryTones& TonesForCountryCode(const std::string& countryCode);

// The level tones are played at: -10 dBm0, as telephone networks send them, split evenly between the two
// frequencies of a dual tone.
constexpr double ToneLevelDbm0 = -10.0;
// The 16-bit amplitude of a 0 dBm0 sine: G.711's largest sine is +3.17 dBm0 (mu-law).
constexpr double ZeroDbm0Amplitude = 22706.0;

// The samples of a tone, frame after frame, from the start of its first on spell. The sine runs on
// through frames and silences without a jump; each spell fades in and out over 4 ms, so the cadence
// does not click.
class ToneGenerator {
  public:
    explicit ToneGenerator(const Tone& tone);
    void Next(Frame& frame);

  private:
    double Envelope() const;

    Tone tone;
    unsigned cycleSamples = 0;
    unsigned position = 0; // in the cadence's cycle
    double lowPhase = 0;
    double highPhase = 0;
};

} // namespace sound
