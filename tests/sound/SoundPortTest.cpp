// The sound port on the sandbox's sound server: what it plays is recorded at the device it was told,
// what a microphone hears reaches its captured frames, devices missing from the start or taken away in a
// run are named and nothing stops, and starting and stopping leave nothing behind.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#include "siplink/sound/SoundPort.h"
#include "tests/common/SandboxSound.h"
#include "tests/common/SoundAnalysis.h"
#include "tests/common/TestSupport.h"

namespace {

using sound::Frame;
using sound::SoundPort;

constexpr DWORD Wait = 20000;

// A port and what its handlers saw: the captured sound, how often each handler ran, the device states
// reported. The port plays a sine of `playHz` (none for 0).
class Port {
  public:
    explicit Port(double playHz = 0)
        : playHz(playHz), port(SoundPort::Handlers{[this](const Frame& frame) { Captured(frame); },
                                                   [this](Frame& frame) { return Next(frame); },
                                                   [this](const std::string& missing) { State(missing); }}) {}

    std::vector<int16_t> Captured() {
        std::lock_guard<std::mutex> lock(guard);
        return captured;
    }
    void ForgetCaptured() {
        std::lock_guard<std::mutex> lock(guard);
        captured.clear();
    }
    std::vector<std::string> States() {
        std::lock_guard<std::mutex> lock(guard);
        return states;
    }
    bool Reported(const std::string& missing) {
        std::vector<std::string> all = States();
        return !all.empty() && all.back() == missing;
    }
    std::vector<DWORD> Threads() {
        std::lock_guard<std::mutex> lock(guard);
        return threads;
    }
    std::atomic<unsigned> capturedFrames{0};
    std::atomic<unsigned> playedFrames{0};

  private:
    void Captured(const Frame& frame) {
        std::lock_guard<std::mutex> lock(guard);
        captured.insert(captured.end(), frame.begin(), frame.end());
        if (std::find(threads.begin(), threads.end(), GetCurrentThreadId()) == threads.end())
            threads.push_back(GetCurrentThreadId());
        ++capturedFrames;
    }
    bool Next(Frame& frame) {
        ++playedFrames;
        if (playHz == 0)
            return false;
        for (int16_t& sample : frame) {
            sample = static_cast<int16_t>(8000 * std::sin(phase));
            phase = std::fmod(phase + 6.283185307179586 * playHz / sound::SampleRate, 6.283185307179586);
        }
        return true;
    }
    void State(const std::string& missing) {
        std::lock_guard<std::mutex> lock(guard);
        states.push_back(missing);
    }

    const double playHz;
    double phase = 0; // the sound thread's
    std::mutex guard;
    std::vector<int16_t> captured;   // guarded
    std::vector<std::string> states; // guarded
    std::vector<DWORD> threads;      // guarded: the threads the handlers ran on

  public:
    // Last: its thread ends before what the handlers use goes.
    SoundPort port;
};

// Whether the samples hold `hz` for at least `ms` in one spell.
bool Holds(const std::vector<int16_t>& samples, double hz, double ms) {
    return test::LongestBurstMs(test::ToneBursts(samples, hz)) >= ms;
}

class SoundPortTest : public ::testing::Test {
  protected:
    // A test before this one in the sandbox may have left the base unplugged; Wine lists the devices
    // once, at the program's first use of them, which comes after this.
    void SetUp() override { ASSERT_TRUE(test::PlugBase()); }
};

TEST_F(SoundPortTest, PlaysToTheNamedSpeakerOnly) {
    test::SoundRecording base, desk;
    ASSERT_TRUE(base.Start(test::BaseSpeakerSound, "base"));
    ASSERT_TRUE(desk.Start(test::DeskSpeakerSound, "desk"));
    Port port(1000);
    port.port.Start(test::BaseSpeaker, test::BaseMicrophone);
    ASSERT_TRUE(test::WaitUntil([&] { return Holds(base.Samples(), 1000, 1000); }, Wait))
        << "the base's speaker did not play 1 kHz for a second";
    port.port.Stop();
    EXPECT_NEAR(test::FrequencyOfLongestSpell(base.Samples(), 1000), 1000, 3);
    EXPECT_FALSE(Holds(desk.Samples(), 1000, 20)) << "the default speaker played it too";
    EXPECT_TRUE(port.States().empty()) << port.States().front();
}

TEST_F(SoundPortTest, CapturesTheNamedMicrophoneOnly) {
    // The base's microphone hears 440 Hz, the default one 1 kHz.
    test::SoundFeed voice, other;
    ASSERT_TRUE(voice.Start(test::BaseMicrophoneFeed, 440, "voice"));
    ASSERT_TRUE(other.Start(test::DeskMicrophoneFeed, 1000, "other"));
    Port port;
    port.port.Start(test::BaseSpeaker, test::BaseMicrophone);
    ASSERT_TRUE(test::WaitUntil([&] { return Holds(port.Captured(), 440, 1000); }, Wait))
        << "the captured frames did not hold 440 Hz for a second";
    port.port.Stop();
    std::vector<int16_t> captured = port.Captured();
    EXPECT_NEAR(test::FrequencyOfLongestSpell(captured, 440), 440, 3);
    EXPECT_FALSE(Holds(captured, 1000, 20)) << "the default microphone was captured";
    EXPECT_TRUE(port.States().empty()) << port.States().front();
}

TEST_F(SoundPortTest, NoNameMeansTheSystemsDefaultDevices) {
    test::SoundRecording base, desk;
    test::SoundFeed voice, other;
    ASSERT_TRUE(base.Start(test::BaseSpeakerSound, "base"));
    ASSERT_TRUE(desk.Start(test::DeskSpeakerSound, "desk"));
    ASSERT_TRUE(voice.Start(test::BaseMicrophoneFeed, 440, "voice"));
    Port port(1000);
    port.port.Start("", "");
    ASSERT_TRUE(test::WaitUntil([&] { return Holds(desk.Samples(), 1000, 500); }, Wait))
        << "the default speaker did not play";
    // The default microphone hears what the default speaker plays.
    ASSERT_TRUE(test::WaitUntil([&] { return Holds(port.Captured(), 1000, 500); }, Wait))
        << "the default microphone was not captured";
    port.port.Stop();
    EXPECT_FALSE(Holds(base.Samples(), 1000, 20));
    EXPECT_FALSE(Holds(port.Captured(), 440, 20));
}

TEST_F(SoundPortTest, MissingDevicesAreNamedAndTheClockRunsOn) {
    Port port(1000);
    port.port.Start("No_such_speaker", "No_such_microphone");
    ASSERT_TRUE(test::WaitUntil([&] { return port.Reported("No_such_speaker, No_such_microphone"); }, Wait));
    // Frames still come and go every 20 ms: silence out, the far end's sound asked for and dropped.
    ASSERT_TRUE(test::WaitUntil([&] { return port.capturedFrames >= 50 && port.playedFrames >= 50; }, Wait));
    for (int16_t sample : port.Captured())
        ASSERT_EQ(sample, 0);
    port.port.Stop();

    // One missing: the other works, and the speaker keeps the time for the microphone's silence.
    test::SoundRecording base;
    ASSERT_TRUE(base.Start(test::BaseSpeakerSound, "base"));
    Port half(1000);
    half.port.Start(test::BaseSpeaker, "No_such_microphone");
    ASSERT_TRUE(test::WaitUntil([&] { return half.Reported("No_such_microphone"); }, Wait));
    ASSERT_TRUE(test::WaitUntil([&] { return Holds(base.Samples(), 1000, 500); }, Wait));
    EXPECT_GE(half.capturedFrames, 25u);
    half.port.Stop();
    EXPECT_EQ(half.States().size(), 1u);
}

TEST_F(SoundPortTest, TheBaseUnpluggedInARunIsNamedAndTakenAgainWhenItIsBack) {
    test::SoundFeed voice;
    ASSERT_TRUE(voice.Start(test::BaseMicrophoneFeed, 440, "voice"));
    Port port(1000);
    port.port.Start(test::BaseSpeaker, test::BaseMicrophone);
    ASSERT_TRUE(test::WaitUntil([&] { return Holds(port.Captured(), 440, 500); }, Wait));

    ASSERT_TRUE(test::UnplugBase());
    ASSERT_TRUE(test::WaitUntil(
        [&] { return port.Reported(std::string(test::BaseSpeaker) + ", " + test::BaseMicrophone); }, Wait))
        << (port.States().empty() ? "nothing reported" : "reported: " + port.States().back());
    // The port runs on without them.
    unsigned frames = port.capturedFrames;
    ASSERT_TRUE(test::WaitUntil([&] { return port.capturedFrames >= frames + 50; }, Wait));

    ASSERT_TRUE(test::PlugBase());
    port.port.DevicesChanged();
    ASSERT_TRUE(test::WaitUntil([&] { return port.Reported(""); }, Wait))
        << "reported: " << port.States().back();
    test::SoundRecording base;
    ASSERT_TRUE(base.Start(test::BaseSpeakerSound, "base"));
    port.ForgetCaptured();
    EXPECT_TRUE(test::WaitUntil([&] { return Holds(base.Samples(), 1000, 500); }, Wait))
        << "the speaker was not taken again";
    EXPECT_TRUE(test::WaitUntil([&] { return Holds(port.Captured(), 440, 500); }, Wait))
        << "the microphone was not taken again";
    port.port.Stop();
}

bool ThreadAlive(DWORD id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (thread == nullptr)
        return false;
    bool alive = WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    CloseHandle(thread);
    return alive;
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

TEST_F(SoundPortTest, StartAndStopLeaveNoThreadOrHandleBehind) {
    Port port(1000);
    // The wave API keeps threads and handles of its own from its first use on.
    port.port.Start(test::BaseSpeaker, test::BaseMicrophone);
    ASSERT_TRUE(test::WaitUntil([&] { return port.capturedFrames >= 5; }, Wait));
    port.port.Stop();
    DWORD handles = HandleCount();
    constexpr int Cycles = 30;
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        unsigned frames = port.capturedFrames;
        // Present devices, a missing one, and a start over a running port.
        port.port.Start(test::BaseSpeaker, cycle % 3 == 1 ? "No_such_microphone" : test::BaseMicrophone);
        if (cycle % 3 == 2)
            port.port.Start(test::BaseSpeaker, test::BaseMicrophone);
        ASSERT_TRUE(test::WaitUntil([&] { return port.capturedFrames >= frames + 3; }, Wait)) << cycle;
        port.port.Stop();
        EXPECT_FALSE(port.port.Running());
    }
    // After Stop no handler runs again: a margin no stall can break.
    unsigned captured = port.capturedFrames, played = port.playedFrames;
    Sleep(300);
    EXPECT_EQ(port.capturedFrames, captured);
    EXPECT_EQ(port.playedFrames, played);
    // Every sound thread has ended; a start over a running port ended the one before.
    std::vector<DWORD> threads = port.Threads();
    EXPECT_GE(threads.size(), static_cast<size_t>(Cycles));
    for (DWORD thread : threads)
        EXPECT_FALSE(ThreadAlive(thread)) << "thread " << thread;
    // Wine's own threads come and go with a handle or two; a handle kept per start would be dozens.
    EXPECT_LE(HandleCount(), handles + 4);
}

} // namespace
