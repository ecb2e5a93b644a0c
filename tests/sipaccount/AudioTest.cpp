// The sound of a call through the provider, at the base's own devices of the sandbox's sound server: the
// far end's 440 Hz tone plays on the base's speaker, and a 1 kHz tone fed to the base's microphone reaches
// what the far end receives.
#include <winsock2.h>

#include <cstring>

#include "siplink/account/AccountStore.h"
#include "tests/common/SandboxSound.h"
#include "tests/common/SoundAnalysis.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

// The samples of a recording the far end wrote (a WAV file of 8 kHz mono 16-bit samples).
std::vector<int16_t> WavSamples(const std::string& wav) {
    size_t data = wav.find("data");
    return data == std::string::npos || wav.size() < data + 8 ? std::vector<int16_t>()
                                                              : test::SamplesOf(wav.substr(data + 8));
}

class Audio : public sipaccount::ProviderDesk {
  protected:
    Audio() { farConfig.record = true; }
    void SetUp() override {
        ProviderDesk::SetUp();
        test::DeleteFiles(farAgent.Path("dump-*.wav"));
        Account account = LoadAccount();
        account.speaker = test::BaseSpeaker;
        account.microphone = test::BaseMicrophone;
        ASSERT_TRUE(SaveAccount(account));
        StartSipLink();
        ASSERT_TRUE(WaitForSkypeLight(true)) << ShowLog();
    }
    // What the far end has received in the call so far.
    std::vector<int16_t> FarEndHeard() const {
        std::vector<std::string> files = test::FindFiles(farAgent.Path("dump-*-dec.wav"));
        return files.empty() ? std::vector<int16_t>() : WavSamples(test::ReadWholeFile(files.back()));
    }
};

TEST_F(Audio, ToneCrossesTheCallThroughTheProviderBothWaysAtTheBasesDevices) {
    test::SoundRecording speaker;
    test::SoundFeed microphone;
    ASSERT_TRUE(speaker.Start(test::BaseSpeakerSound, "audio-speaker"));
    ASSERT_TRUE(microphone.Start(test::BaseMicrophoneFeed, 1000, "audio-microphone"));
    Dial(sipcalls::FarNumber);
    FarRings();
    FarAnswers();
    // The far end's tone on the base's speaker: a second of it, wherever it lies in the recording.
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            std::vector<int16_t> heard = speaker.Samples();
            return test::LongestBurstMs(test::ToneBursts(heard, 440)) >= 1000;
        },
        Wait))
        << "the base's speaker did not play the far end's 440 Hz; its strongest tone: "
        << test::PeakFrequency(speaker.Samples()) << " Hz" << ShowLog();
    // The base's microphone at the far end: what it received so far (its recording grows in the call).
    std::vector<int16_t> farHeard;
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            farHeard = FarEndHeard();
            return test::LongestBurstMs(test::ToneBursts(farHeard, 1000)) >= 1000;
        },
        Wait))
        << "the base's microphone's 1 kHz did not reach the far end; its strongest tone: "
        << test::PeakFrequency(farHeard) << " Hz (" << farHeard.size() << " samples)";
    ASSERT_TRUE(farEnd.Command("hangup"));
    EXPECT_TRUE(WaitForCallLight(false));
}

} // namespace
