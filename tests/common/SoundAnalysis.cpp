#include "tests/common/SoundAnalysis.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <utility>

namespace test {

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr size_t WindowSamples = 160; // 20 ms
constexpr size_t HopSamples = 80;     // 10 ms
constexpr double HopMs = 10;
// Most of a window's sound at the tone's frequency: a tone, not noise or another tone.
constexpr double MinShare = 0.5;
// The pilot is judged over 10 ms; it is a steady tone far above the call-progress tones, so a window
// holds it or not.
constexpr size_t PilotWindowSamples = 80;
constexpr double MinPilotAmplitude = 300;
// A server that has nothing to play plays zeros; with the pilot sounding, the played sound never holds
// this many zeros in a row.
constexpr size_t MinDropoutSamples = 4;

// Goertzel's |X(hz)|^2 over the samples.
double Power(const int16_t* samples, size_t count, double hz) {
    double coefficient = 2 * std::cos(TwoPi * hz / RecordingRate);
    double previous = 0, beforePrevious = 0;
    for (size_t i = 0; i < count; ++i) {
        double current = samples[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

} // namespace

double ToneAmplitude(const int16_t* samples, size_t count, double hz) {
    return count == 0 ? 0 : 2 * std::sqrt(std::max(0.0, Power(samples, count, hz))) / count;
}

double ToneShare(const int16_t* samples, size_t count, double hz) {
    double energy = 0;
    for (size_t i = 0; i < count; ++i)
        energy += static_cast<double>(samples[i]) * samples[i];
    if (energy == 0)
        return 0;
    double amplitude = ToneAmplitude(samples, count, hz);
    return amplitude * amplitude / 2 * count / energy;
}

double PeakFrequency(const std::vector<int16_t>& samples, double lowHz, double highHz) {
    if (samples.empty())
        return 0;
    // A coarse look over the power of 50 ms blocks (wide enough peaks for 10 Hz steps), then a fine one
    // around its best over all the samples at once.
    constexpr size_t Block = 400;
    double best = lowHz, bestPower = -1;
    for (double hz = lowHz; hz <= highHz; hz += 10) {
        double power = 0;
        for (size_t at = 0; at < samples.size(); at += Block)
            power += Power(samples.data() + at, std::min(Block, samples.size() - at), hz);
        if (power > bestPower) {
            bestPower = power;
            best = hz;
        }
    }
    double coarse = best;
    bestPower = -1;
    for (double hz = coarse - 10; hz <= coarse + 10; hz += 0.5) {
        double power = Power(samples.data(), samples.size(), hz);
        if (power > bestPower) {
            bestPower = power;
            best = hz;
        }
    }
    return best;
}

std::vector<Burst> ToneBursts(const std::vector<int16_t>& samples, double hz, double minAmplitude,
                              double maxGapMs) {
    std::vector<Burst> bursts;
    if (samples.size() < WindowSamples)
        return bursts;
    size_t windows = (samples.size() - WindowSamples) / HopSamples + 1;
    double lastOnMs = 0;
    for (size_t w = 0; w < windows; ++w) {
        const int16_t* window = samples.data() + w * HopSamples;
        bool on = ToneAmplitude(window, WindowSamples, hz) >= minAmplitude &&
                  ToneShare(window, WindowSamples, hz) >= MinShare;
        if (!on)
            continue;
        // A window's tone is taken to lie in its middle 10 ms.
        double startMs = w * HopMs + HopMs / 2;
        if (!bursts.empty() && startMs - lastOnMs <= maxGapMs) {
            bursts.back().lengthMs = startMs + HopMs - bursts.back().startMs;
            bursts.back().toneMs += HopMs;
        } else {
            bursts.push_back(Burst{startMs, HopMs, HopMs, w != 0});
        }
        lastOnMs = startMs + HopMs;
        if (w + 1 == windows)
            bursts.back().whole = false;
    }
    return bursts;
}

namespace {

// Whether whole spells from `first` on fit one cycle; `fits` judges a spell's sound and the silence after it
// against the cadence's on and off.
template <typename Fits>
bool CycleFrom(const std::vector<Burst>& bursts, size_t first, const std::vector<unsigned>& cadenceMs,
               Fits fits) {
    size_t ons = cadenceMs.size() / 2;
    if (first + ons >= bursts.size())
        return false;
    for (size_t k = 0; k < ons; ++k) {
        const Burst& spell = bursts[first + k];
        double offMs = bursts[first + k + 1].startMs - (spell.startMs + spell.lengthMs);
        if (!spell.whole || !fits(spell, offMs, cadenceMs[2 * k], cadenceMs[2 * k + 1]))
            return false;
    }
    return true;
}

} // namespace

bool HasCadence(const std::vector<Burst>& bursts, const std::vector<unsigned>& cadenceMs,
                double toleranceMs) {
    for (size_t first = 0; first < bursts.size(); ++first) {
        if (CycleFrom(bursts, first, cadenceMs, [&](const Burst& spell, double offMs, double on, double off) {
                return std::fabs(spell.lengthMs - on) <= toleranceMs && std::fabs(offMs - off) <= toleranceMs;
            }))
            return true;
    }
    return false;
}

bool HasCadenceDespiteDropouts(const std::vector<int16_t>& samples, double hz,
                               const std::vector<unsigned>& cadenceMs, double toleranceMs) {
    double shortestOff = 0;
    for (size_t k = 1; k < cadenceMs.size(); k += 2)
        if (shortestOff == 0 || cadenceMs[k] < shortestOff)
            shortestOff = cadenceMs[k];
    std::vector<Burst> bursts = ToneBursts(samples, hz, 1000, shortestOff / 2);
    for (size_t first = 0; first < bursts.size(); ++first) {
        if (CycleFrom(bursts, first, cadenceMs, [&](const Burst& spell, double offMs, double on, double off) {
                return std::fabs(spell.toneMs - on) <= toleranceMs && offMs >= off - toleranceMs;
            }))
            return true;
    }
    return false;
}

double LongestBurstMs(const std::vector<Burst>& bursts) {
    double longest = 0;
    for (const Burst& burst : bursts)
        longest = std::max(longest, burst.lengthMs);
    return longest;
}

double FrequencyOfLongestSpell(const std::vector<int16_t>& samples, double hz) {
    std::vector<Burst> bursts = ToneBursts(samples, hz);
    if (bursts.empty())
        return 0;
    const Burst& longest = *std::max_element(
        bursts.begin(), bursts.end(), [](const Burst& a, const Burst& b) { return a.lengthMs < b.lengthMs; });
    size_t from = static_cast<size_t>(longest.startMs * RecordingRate / 1000);
    size_t to = std::min(samples.size(), from + static_cast<size_t>(longest.lengthMs * RecordingRate / 1000));
    // The median of its 100 ms pieces' (the last piece may be longer): a dropout shifts the phase of the
    // sine after it, which would move a peak taken over the whole spell.
    constexpr size_t Piece = 800;
    std::vector<double> frequencies;
    for (size_t at = from; at == from || at + Piece <= to; at += Piece) {
        size_t end = at + 2 * Piece > to ? to : at + Piece;
        frequencies.push_back(
            PeakFrequency(std::vector<int16_t>(samples.begin() + at, samples.begin() + end)));
    }
    std::sort(frequencies.begin(), frequencies.end());
    return frequencies[frequencies.size() / 2];
}

namespace {

// The samples from the pilot's first 10 ms to its last, as [first, end); empty when it is never heard.
std::pair<size_t, size_t> PilotSpan(const std::vector<int16_t>& samples, double pilotHz) {
    size_t first = samples.size(), end = 0;
    for (size_t at = 0; at + PilotWindowSamples <= samples.size(); at += PilotWindowSamples) {
        if (ToneAmplitude(samples.data() + at, PilotWindowSamples, pilotHz) < MinPilotAmplitude)
            continue;
        first = std::min(first, at);
        end = at + PilotWindowSamples;
    }
    return {first, std::max(first, end)};
}

} // namespace

std::vector<Stretch> Dropouts(const std::vector<int16_t>& samples, double pilotHz) {
    std::pair<size_t, size_t> span = PilotSpan(samples, pilotHz);
    std::vector<Stretch> dropouts;
    for (size_t at = span.first; at < span.second;) {
        size_t zeros = 0;
        while (at + zeros < span.second && samples[at + zeros] == 0)
            ++zeros;
        if (zeros >= MinDropoutSamples)
            dropouts.push_back(Stretch{at, zeros});
        at += std::max<size_t>(zeros, 1);
    }
    return dropouts;
}

std::vector<int16_t> WithoutDropouts(const std::vector<int16_t>& samples, double pilotHz) {
    std::pair<size_t, size_t> span = PilotSpan(samples, pilotHz);
    std::vector<int16_t> kept;
    size_t at = span.first;
    for (const Stretch& dropout : Dropouts(samples, pilotHz)) {
        kept.insert(kept.end(), samples.begin() + at, samples.begin() + dropout.from);
        at = dropout.from + dropout.count;
    }
    kept.insert(kept.end(), samples.begin() + at, samples.begin() + span.second);
    return kept;
}

std::vector<int16_t> SamplesOf(const std::string& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return samples;
}

} // namespace test
