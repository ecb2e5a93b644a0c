// The sound port's delay and steadiness on the sound server ./dev bench starts (tests/common/pulse.sh):
// - a click played to the base's speaker and captured back from that speaker's echo (the server's monitor,
//   a capture device under Wine), so through the port's playback queue, Wine's and the server's buffers
//   both ways and the port's capture; the port's own share, its buffers, is printed beside;
// - dropouts: a steady tone played for a while and recorded at the speaker, where every stretch without
//   it is silence the server played because the sound came late (the machine's load shows here).
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "siplink/sound/SoundPort.h"
#include "siplink/sound/WaveCapture.h"
#include "siplink/sound/WavePlayback.h"
#include "support/Clock.h"
#include "tests/common/SandboxSound.h"
#include "tests/common/SoundAnalysis.h"

namespace {

constexpr const char* Speaker = "USB_base_speaker";
constexpr const char* Echo = "Monitor of USB_base_speaker";
constexpr unsigned ClickEveryFrames = 50; // a second: far more than a round trip
constexpr unsigned Clicks = 11;           // the first is the warm-up
constexpr int Loud = 4000;

struct Clicker {
    std::mutex guard;
    unsigned frame = 0;             // the sound thread's
    double quietSinceMs = 0;        // the sound thread's
    std::vector<double> playedMs;   // guarded
    std::vector<double> capturedMs; // guarded

    bool Next(sound::Frame& out) {
        out = {};
        if (frame++ % ClickEveryFrames != 0)
            return false;
        // 5 ms of 1 kHz at the start of the frame.
        for (unsigned i = 0; i < 40; ++i)
            out[i] = static_cast<int16_t>((i / 4) % 2 == 0 ? 16000 : -16000);
        std::lock_guard<std::mutex> lock(guard);
        playedMs.push_back(NowMs());
        return true;
    }

    void Captured(const sound::Frame& in) {
        double now = NowMs();
        for (unsigned i = 0; i < in.size(); ++i) {
            if (std::abs(in[i]) < Loud)
                continue;
            // The frame was full when it came; its sample i sounded (160 - i) samples before.
            double at = now - (in.size() - i) / 8.0;
            if (at - quietSinceMs > 300) {
                std::lock_guard<std::mutex> lock(guard);
                capturedMs.push_back(at);
            }
            quietSinceMs = at;
            return;
        }
    }
};

constexpr double SteadyHz = 1000;
constexpr DWORD SteadyMs = 20000;

// Plays a steady tone for SteadyMs and prints the dropouts the speaker's recording shows; false when
// nothing was recorded.
bool MeasureDropouts() {
    test::SoundRecording speaker;
    if (!speaker.Start(test::BaseSpeakerSound, "bench"))
        return false;
    double phase = 0;
    sound::SoundPort port({nullptr,
                           [&](sound::Frame& frame) {
                               for (int16_t& sample : frame) {
                                   sample = static_cast<int16_t>(8000 * std::sin(phase));
                                   phase = std::fmod(phase + 6.283185307179586 * SteadyHz / sound::SampleRate,
                                                     6.283185307179586);
                               }
                               return true;
                           },
                           nullptr});
    port.Start(Speaker, "");
    Sleep(SteadyMs);
    port.Stop();
    Sleep(500); // the recording's last part
    std::vector<int16_t> samples = speaker.Samples();
    speaker.Stop();
    std::vector<test::Stretch> dropouts = test::Dropouts(samples, SteadyHz);
    if (samples.empty())
        return false;
    size_t silent = 0, longest = 0;
    for (const test::Stretch& dropout : dropouts) {
        silent += dropout.count;
        longest = std::max(longest, dropout.count);
    }
    std::printf("dropouts in %u s of playback: %zu, %.0f ms of silence in all, the longest %.0f ms\n",
                static_cast<unsigned>(SteadyMs / 1000), dropouts.size(), silent / 8.0, longest / 8.0);
    return true;
}

} // namespace

int main() {
    Clicker clicker;
    std::string missing;
    {
        sound::SoundPort port({[&](const sound::Frame& frame) { clicker.Captured(frame); },
                               [&](sound::Frame& frame) { return clicker.Next(frame); },
                               [&](const std::string& devices) { missing = devices; }});
        port.Start(Speaker, Echo);
        double start = NowMs();
        while (NowMs() - start < (Clicks + 2) * ClickEveryFrames * sound::FrameMs) {
            Sleep(100);
            std::lock_guard<std::mutex> lock(clicker.guard);
            if (clicker.capturedMs.size() >= Clicks)
                break;
        }
        port.Stop();
    }
    if (!missing.empty()) {
        std::printf("sound devices missing: %s (run through ./dev bench, which starts the sound server)\n",
                    missing.c_str());
        return 1;
    }
    // Each click captured belongs to the last one played before it.
    std::vector<double> delays;
    for (size_t c = 1; c < clicker.capturedMs.size(); ++c) {
        double captured = clicker.capturedMs[c];
        double played = -1;
        for (double at : clicker.playedMs)
            if (at < captured)
                played = at;
        if (played >= 0)
            delays.push_back(captured - played);
    }
    if (delays.empty()) {
        std::printf("no click came back from %s\n", Echo);
        return 1;
    }
    std::sort(delays.begin(), delays.end());
    std::printf("click played and captured back (ms), %zu clicks: min %.1f  median %.1f  max %.1f\n",
                delays.size(), delays.front(), delays[delays.size() / 2], delays.back());
    std::printf(
        "  the port's own share: playback queue up to %u x %u ms, capture one %u ms frame (%u buffers "
        "waiting, no delay); the rest is Wine's and the sound server's\n",
        sound::WavePlayback::Buffers, sound::FrameMs, sound::FrameMs, sound::WaveCapture::Buffers);
    if (!MeasureDropouts()) {
        std::printf("nothing recorded at the speaker\n");
        return 1;
    }
    return 0;
}
