#pragma once
// What the playback and the capture device share on the wave API: the phone's sound format (8 kHz mono
// 16-bit PCM), a buffer header over a frame, and the event a device signals as it hands buffers back.
#include <windows.h>

#include <mmsystem.h>

#include "siplink/sound/Frame.h"

namespace sound {

inline WAVEFORMATEX PhoneFormat() {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = SampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = SampleRate * 2;
    return format;
}

inline WAVEHDR FrameHeader(Frame& frame) {
    WAVEHDR header = {};
    header.lpData = reinterpret_cast<LPSTR>(frame.data());
    header.dwBufferLength = sizeof frame;
    return header;
}

// An auto-reset event for CALLBACK_EVENT, owned.
class DeviceEvent {
  public:
    DeviceEvent() : event(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~DeviceEvent() { CloseHandle(event); }
    DeviceEvent(const DeviceEvent&) = delete;
    DeviceEvent& operator=(const DeviceEvent&) = delete;
    HANDLE Handle() const { return event; }
    DWORD_PTR Callback() const { return reinterpret_cast<DWORD_PTR>(event); }

  private:
    const HANDLE event;
};

} // namespace sound
