#pragma once
// One capture device of the wave API at 8 kHz mono 16-bit, a 20 ms frame at a time: a few buffers that
// the device fills in order and hands back, signalling an event (CALLBACK_EVENT; buffers are never added
// inside a waveInProc, which Windows documents as a deadlock). Used on one thread only.
#include <windows.h>

#include <mmsystem.h>

#include <array>
#include <functional>
#include <string>

#include "siplink/sound/WaveShared.h"

namespace sound {

class WaveCapture {
  public:
    // Empty buffers waiting for the device: they cost no delay (a frame goes out as soon as it is full)
    // and carry the capture through a sound thread that runs late.
    static constexpr unsigned Buffers = 4;

    WaveCapture() = default;
    ~WaveCapture() { Close(); }
    WaveCapture(const WaveCapture&) = delete;
    WaveCapture& operator=(const WaveCapture&) = delete;

    // Opens the device by name ("": the system's default) and starts capturing; false when it is not
    // there or refuses.
    bool Open(const std::string& name);
    void Close();
    bool IsOpen() const { return device != nullptr; }
    // Signalled when the device has filled a buffer.
    HANDLE Event() const { return event.Handle(); }
    // Hands every filled buffer to `take`, oldest first, and gives it to the device again; answers how
    // many, or -1 when the device refused one (it went away).
    int Collect(const std::function<void(const Frame&)>& take);

  private:
    DeviceEvent event;
    HWAVEIN device = nullptr;
    std::array<WAVEHDR, Buffers> headers = {};
    std::array<Frame, Buffers> frames = {};
    unsigned next = 0; // the buffer the device fills first
};

} // namespace sound
