#include "tests/common/SoundAnalysis.h"

#include <algorithm>
#include <cmath>

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

namespace {

// Whether each 10 ms of the samples holds the pilot.
std::vector<bool> PilotHeard(const std::vector<int16_t>& samples, double pilotHz) {
    std::vector<bool> heard;
    for (size_t at = 0; at + PilotWindowSamples <= samples.size(); at += PilotWindowSamples)
        heard.push_back(ToneAmplitude(samples.data() + at, PilotWindowSamples, pilotHz) >= MinPilotAmplitude);
    return heard;
}

} // namespace

std::vector<Stretch> Dropouts(const std::vector<int16_t>& samples, double pilotHz) {
    std::vector<bool> heard = PilotHeard(samples, pilotHz);
    std::vector<Stretch> dropouts;
    size_t first = std::find(heard.begin(), heard.end(), true) - heard.begin();
    size_t last = heard.rend() - std::find(heard.rbegin(), heard.rend(), true); // one past
    for (size_t w = first; w < last; ++w) {
        if (heard[w])
            continue;
        if (!dropouts.empty() && dropouts.back().from + dropouts.back().count == w * PilotWindowSamples)
            dropouts.back().count += PilotWindowSamples;
        else
            dropouts.push_back(Stretch{w * PilotWindowSamples, PilotWindowSamples});
    }
    return dropouts;
}

std::vector<int16_t> WithoutDropouts(const std::vector<int16_t>& samples, double pilotHz) {
    std::vector<bool> heard = PilotHeard(samples, pilotHz);
    std::vector<int16_t> kept;
    size_t first = std::find(heard.begin(), heard.end(), true) - heard.begin();
    size_t last = heard.rend() - std::find(heard.rbegin(), heard.rend(), true);
    for (size_t w = first; w < last; ++w)
        if (heard[w])
            kept.insert(kept.end(), samples.begin() + w * PilotWindowSamples,
                        samples.begin() + (w + 1) * PilotWindowSamples);
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
