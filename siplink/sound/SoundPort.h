#pragma once
// The phone's sound: one playback and one capture device of the Windows wave API, chosen by name, at
// 8 kHz mono 16-bit in 20 ms frames, run by a thread of its own that is paced by the devices' buffer
// completions. It knows nothing of SIP: it hands captured frames out and asks for the next frame to play.
//
// The port is a steady 20 ms clock whatever the devices do: a missing microphone gives silent frames, a
// missing speaker still has its frames asked for (and dropped), and with neither the thread keeps the
// time itself. A call therefore goes on, without sound, when the base is unplugged.
#include <functional>
#include <memory>
#include <string>

#include "siplink/sound/Frame.h"

namespace sound {

class SoundPort {
  public:
    // Called on the sound thread only, never after Stop returns; they must not call Start or Stop.
    struct Handlers {
        // A frame the microphone took (silence while it is missing); every 20 ms while the port runs.
        std::function<void(const Frame&)> captured;
        // The next frame to play, asked each time the speaker is done with one (and every 20 ms while it is
        // missing). Answers false when there is nothing to play: silence is played.
        std::function<bool(Frame&)> nextToPlay;
        // The devices that are missing changed: their names ("USB Audio Device", or "default speaker" /
        // "default microphone" for the system's default), joined by ", "; "" when all are there again.
        // Not called while all are there from the start.
        std::function<void(const std::string& missingDevices)> deviceState;
    };

    explicit SoundPort(Handlers handlers);
    // Stops the thread and closes the devices.
    ~SoundPort();
    SoundPort(const SoundPort&) = delete;
    SoundPort& operator=(const SoundPort&) = delete;

    // Opens the devices by their Windows names ("": the system's default) and starts the thread; a port
    // that runs is stopped first. A missing device is reported, not fatal: the port runs without it, looks
    // for it again every few seconds and on DevicesChanged(), and takes it again when it is back. A device
    // that stops working in the run (unplugged) is closed, reported and looked for the same way.
    void Start(const std::string& speaker, const std::string& microphone);
    // Ends the thread and closes the devices; nothing is left running. Harmless when not running.
    void Stop();
    bool Running() const;
    // The system's devices may have changed (WM_DEVICECHANGE): look for missing ones now. Any thread.
    void DevicesChanged();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace sound
