#pragma once
// The sound devices of the test's sandbox, a PulseAudio server of its own that ./dev starts
// (tests/common/pulse.sh), and the tools a test uses on them: recording what a device plays and feeding
// a tone to what a microphone hears. Programs under Wine see the devices by their Windows names; the
// tools name them as PulseAudio does. A test program that uses these links the library `sipagent`.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sip/agent/ScriptProcess.h"

namespace test {

// Windows names.
constexpr const char* BaseSpeaker = "USB_base_speaker";       // the DECT base's own speaker
constexpr const char* BaseMicrophone = "USB_base_microphone"; // and microphone
constexpr const char* DeskSpeaker = "Desk_speaker";           // the system's default speaker
constexpr const char* DeskMicrophone = "Desk_microphone";     // and microphone
// PulseAudio names: what each speaker plays, to record; where to play what each microphone hears.
constexpr const char* BaseSpeakerSound = "basespeaker.monitor";
constexpr const char* DeskSpeakerSound = "desk.monitor";
constexpr const char* BaseMicrophoneFeed = "micfeed";
constexpr const char* DeskMicrophoneFeed = "desk";

// A recording of a PulseAudio source from Start until Stop or the end of the object; what it holds so
// far can be read at any time.
class SoundRecording {
  public:
    // `label` tells this recording's folder from the test's others.
    bool Start(const std::string& source, const std::string& label);
    void Stop() { script.Stop(); }
    std::vector<int16_t> Samples() const;

  private:
    ScriptProcess script;
};

// A sine of `hz` played into a PulseAudio sink from Start until Stop or the end of the object.
class SoundFeed {
  public:
    bool Start(const std::string& sink, unsigned hz, const std::string& label);
    void Stop() { script.Stop(); }

  private:
    ScriptProcess script;
};

// Takes the base's speaker and microphone away, as unplugging the base does, or brings them back (when
// missing); answers whether the server did so. Programs started before keep seeing their names (Wine
// lists the devices once per process) but can no longer open them.
bool UnplugBase();
bool PlugBase();

} // namespace test
