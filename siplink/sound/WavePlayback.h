#pragma once
// One playback device of the wave API at 8 kHz mono 16-bit, fed a frame at a time: a few 20 ms buffers
// that the device hands back, in order, as it plays them, signalling an event (CALLBACK_EVENT). Used on
// one thread only.
#include <windows.h>

#include <mmsystem.h>

#include <array>
#include <functional>
#include <string>

#include "siplink/sound/WaveShared.h"

namespace sound {

class WavePlayback {
  public:
    // Frames waiting in the device: each adds 20 ms to what the user hears; fewer let a late sound thread
    // run the device dry.
    static constexpr unsigned Buffers = 2;

    WavePlayback() = default;
    ~WavePlayback() { Close(); }
    WavePlayback(const WavePlayback&) = delete;
    WavePlayback& operator=(const WavePlayback&) = delete;

    // Opens the device by name ("": the system's default); false when it is not there or refuses.
    bool Open(const std::string& name);
    void Close();
    bool IsOpen() const { return device != nullptr; }
    // Signalled when the device is done with a buffer.
    HANDLE Event() const { return event.Handle(); }
    // Fills every buffer the device is done with (all of them, right after Open) by `fill` and queues it
    // again; answers how many, or -1 when the device refused one (it went away).
    int Refill(const std::function<void(Frame&)>& fill);

  private:
    DeviceEvent event;
    HWAVEOUT device = nullptr;
    std::array<WAVEHDR, Buffers> headers = {};
    std::array<Frame, Buffers> frames = {};
    std::array<bool, Buffers> queued = {};
    unsigned next = 0; // the buffer the device hands back next
};

} // namespace sound
