#pragma once
// What a recording of 8 kHz mono 16-bit sound holds: the frequency of a tone and the spells in which it
// sounds, found by the Goertzel filter over short windows. Recordings through a sound server start and
// run late by a varying 100-300 ms and stall now and then, so tests look for what they expect anywhere in
// a recording (align by detection), never at fixed times. Plain C++.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace test {

constexpr double RecordingRate = 8000;

// The amplitude of the component at `hz` in `count` samples (a sine of amplitude A gives about A).
double ToneAmplitude(const int16_t* samples, size_t count, double hz);
// The share of the samples' power that lies at `hz`: about 1 for a pure tone, about 0 for silence.
double ToneShare(const int16_t* samples, size_t count, double hz);
// The strongest frequency between lowHz and highHz in the samples, to half a hertz; 0 for no samples.
double PeakFrequency(const std::vector<int16_t>& samples, double lowHz = 100, double highHz = 3800);

// A spell of a tone in a recording: from its first sound to its last, and how much of that the tone
// sounded. One that touches the recording's start or end may be cut: not whole.
struct Burst {
    double startMs;
    double lengthMs;
    double toneMs;
    bool whole;
};
// The spells in which the tone at `hz` sounds, at least minAmplitude loud and most of the sound: judged
// over 20 ms windows every 10 ms (edges within about 10 ms). Silence up to maxGapMs inside a spell does
// not end it (a window lost, a dropout).
std::vector<Burst> ToneBursts(const std::vector<int16_t>& samples, double hz, double minAmplitude = 1000,
                              double maxGapMs = 30);
// Whether whole spells in a row follow the cadence (on, off, [on, off,] ms) within toleranceMs each, for
// one full cycle, wherever it lies in the recording: for a recording without dropouts.
bool HasCadence(const std::vector<Burst>& bursts, const std::vector<unsigned>& cadenceMs, double toleranceMs);
// Whether a recording holds the cadence of the tone at `hz` through dropouts, the silence a sound server
// plays while the player runs late (a loaded machine's stalls): they can split a spell and lengthen a
// silence but never take tone away. So spells are joined across silences shorter than half the
// cadence's shortest off; a cycle fits when each spell holds its on time of tone and is followed by at
// least its off time of silence, within toleranceMs.
bool HasCadenceDespiteDropouts(const std::vector<int16_t>& samples, double hz,
                               const std::vector<unsigned>& cadenceMs, double toleranceMs);
// The longest spell, whole or cut; 0 when there is none.
double LongestBurstMs(const std::vector<Burst>& bursts);
// The frequency of the longest spell of the tone at about `hz` (the spells' 20 ms windows take anything
// within some 25 Hz), to a hertz, dropouts in it or not; 0 when there is none.
double FrequencyOfLongestSpell(const std::vector<int16_t>& samples, double hz);

// Dropouts seen by a pilot: a quiet steady tone at pilotHz that the player adds to everything it plays, so
// that the zeros a server plays while the player is late are told from the tone's own silences. The
// stretches of zeros between the pilot's first and last sound, as [first sample, count).
struct Stretch {
    size_t from;
    size_t count;
};
std::vector<Stretch> Dropouts(const std::vector<int16_t>& samples, double pilotHz);
// The samples from the pilot's first sound to its last without the dropouts: what the player played, on
// its own time line.
std::vector<int16_t> WithoutDropouts(const std::vector<int16_t>& samples, double pilotHz);

// The samples of a recording file (s16le); what a half-written last sample leaves out.
std::vector<int16_t> SamplesOf(const std::string& bytes);

} // namespace test
