#pragma once
// The sound devices as the phone's stack sees them: something that hands out captured 20 ms frames and
// asks for the next frame to play, paced by the devices themselves (libre's timers tick in 15.6 ms steps
// on Windows and cannot pace sound). The stack starts it when a call needs sound and stops it after.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace phone {

constexpr unsigned SampleRate = 8000;
constexpr unsigned FrameSamples = 160; // 20 ms
using Frame = std::array<int16_t, FrameSamples>;

class Sound {
  public:
    struct Handlers {
        // A frame the microphone took; called on the sound's own thread every 20 ms while it runs (silence
        // when the microphone is missing, so that the call's packets keep their pace).
        std::function<void(const Frame&)> captured;
        // The next frame to play; called on the sound's thread each time a playback buffer is done.
        // Answers false when there is nothing to play (silence is played).
        std::function<bool(Frame&)> nextToPlay;
        // A device could not be opened or went away (its name), or all are there again ("").
        std::function<void(const std::string& missingDevice)> deviceState;
    };

    virtual ~Sound() = default;
    // Opens the devices (empty name: the system's default) and starts the thread; a missing device is
    // reported, not fatal.
    virtual void Start(const std::string& speaker, const std::string& microphone) = 0;
    // Stops the thread and closes the devices; the handlers are not called after it returns.
    virtual void Stop() = 0;
    virtual void DevicesChanged() = 0;
};

using SoundFactory = std::function<std::unique_ptr<Sound>(Sound::Handlers)>;

// The phone's sound when SipLink gives none: no device at all, a thread that takes silence and drops what
// it is given to play, at the pace of a real device.
std::unique_ptr<Sound> MakeSilentSound(Sound::Handlers handlers);

} // namespace phone
