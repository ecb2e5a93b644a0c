// Sound through a call made through the provider, with the configuration SipLink writes for its agent:
// the far end's 440 Hz tone is in what SipLink's agent received, its own 1000 Hz tone in what it sent,
// and the far end saw the near end's sound arrive.
#include <winsock2.h>

#include <cmath>
#include <cstring>

#include "siplink/account/AccountStore.h"
#include "siplink/account/UnixPath.h"
#include "tests/sipaccount/ProviderDesk.h"

namespace {

using sipaccount::Wait;

// The tone of a recording (8 kHz mono 16-bit WAV as the agent writes it), from its zero crossings after
// the first half second; 0 when the file holds no sound.
double ToneOf(const std::string& wav) {
    size_t data = wav.find("data");
    if (data == std::string::npos || wav.size() < data + 8)
        return 0;
    size_t count = (wav.size() - data - 8) / 2;
    std::vector<int16_t> samples(count);
    std::memcpy(samples.data(), wav.data() + data + 8, count * 2);
    const size_t skip = 4000;
    if (count < skip + 8000)
        return 0;
    int crossings = 0;
    for (size_t i = skip + 1; i < count; ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    return crossings / 2.0 / ((count - skip - 1) / 8000.0);
}

class Audio : public sipaccount::ProviderDesk {
  protected:
    void SetUp() override {
        ProviderDesk::SetUp();
        // A short path (the agent cuts the name of a recording at 128 characters), one for each test port
        // block, so that test runs side by side never share it.
        folder = BinFolder() + "\\sipagents\\sound-" + std::to_string(sipaccount::Port.base);
        CreateDirectoryA((BinFolder() + "\\sipagents").c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        test::DeleteFiles(folder + "\\dump-*.wav");
        StoredSettings settings = LoadSettings();
        settings.account.extraConfig += "module sndfile.so\nsnd_path " + UnixPath(folder) + "\n";
        ASSERT_TRUE(SaveSettings(settings));
        ASSERT_TRUE(program.Start());
        StartSipLink();
        ASSERT_TRUE(WaitForSkypeLight(true)) << ShowLog();
    }
    std::string Recording(const char* side) const {
        std::vector<std::string> files = test::FindFiles(folder + "\\dump-*-" + side + ".wav");
        return files.empty() ? "" : test::ReadWholeFile(files.back());
    }
    std::string folder;
};

TEST_F(Audio, ToneCrossesTheCallThroughTheProviderBothWays) {
    Dial("42");
    ASSERT_TRUE(farEnd.WaitForEvent("CALL_INCOMING", Wait)) << ShowLog();
    FarAnswers();
    EXPECT_TRUE(farEnd.WaitForEvent("CALL_RTPESTAB", Wait)) << "no sound reached the far end" << ShowLog();
    Sleep(3000);
    ASSERT_TRUE(farEnd.Command("hangup"));
    ASSERT_TRUE(WaitForCallLight(false));
    std::string received, sent;
    test::WaitUntil(
        [&] { return !(received = Recording("dec")).empty() && !(sent = Recording("enc")).empty(); }, Wait);
    EXPECT_NEAR(ToneOf(received), 440, 30)
        << "the far end's tone is not in what the near end heard (" << received.size() << " bytes)";
    EXPECT_NEAR(ToneOf(sent), 1000, 50)
        << "the near end's tone is not in what it sent (" << sent.size() << " bytes)";
}

} // namespace
