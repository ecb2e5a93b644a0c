// The system's sound devices by name, and the rule that finds the DECT base's own among them.
#include <gtest/gtest.h>

#include <algorithm>

#include "siplink/sound/BaseDevice.h"
#include "siplink/sound/DeviceList.h"
#include "tests/common/SandboxSound.h"

namespace {

bool Lists(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(DeviceList, TheSandboxsDevicesAreListedAndTheBasesFoundByTheRule) {
    ASSERT_TRUE(test::PlugBase());
    sound::DeviceNames devices = sound::ListDevices();
    EXPECT_TRUE(Lists(devices.playback, test::BaseSpeaker));
    EXPECT_TRUE(Lists(devices.playback, test::DeskSpeaker));
    EXPECT_TRUE(Lists(devices.capture, test::BaseMicrophone));
    EXPECT_TRUE(Lists(devices.capture, test::DeskMicrophone));
    // The echo of the base's speaker is a capture device here too, and must not pass for its microphone.
    EXPECT_TRUE(Lists(devices.capture, std::string("Monitor of ") + test::BaseSpeaker));
    EXPECT_EQ(sound::BaseDevice(devices.playback), test::BaseSpeaker);
    EXPECT_EQ(sound::BaseDevice(devices.capture), test::BaseMicrophone);

    UINT id = 0;
    EXPECT_TRUE(sound::FindPlaybackDevice(test::BaseSpeaker, id));
    EXPECT_TRUE(sound::FindPlaybackDevice("", id));
    EXPECT_EQ(id, WAVE_MAPPER);
    EXPECT_FALSE(sound::FindCaptureDevice("No_such_microphone", id));
    EXPECT_FALSE(sound::FindCaptureDevice(test::BaseSpeaker, id));
}

TEST(DeviceList, TheBaseIsTheFirstUsbDeviceAndNeverAMonitor) {
    EXPECT_EQ(sound::BaseDevice({"Speakers (Realtek High Definiti", "Speakers (USB Audio Device)",
                                 "Speakers (USB Headset)"}),
              "Speakers (USB Audio Device)");
    EXPECT_EQ(sound::BaseDevice({"Monitor of USB Audio Device", "Microphone (USB Audio Device)"}),
              "Microphone (USB Audio Device)");
    EXPECT_EQ(sound::BaseDevice({"Speakers (Realtek High Definiti", "PulseAudio"}), "");
    EXPECT_EQ(sound::BaseDevice({}), "");
}

} // namespace
