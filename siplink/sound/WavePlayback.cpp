#include "siplink/sound/WavePlayback.h"

#include "siplink/sound/DeviceList.h"

namespace sound {

bool WavePlayback::Open(const std::string& name) {
    Close();
    UINT id = 0;
    WAVEFORMATEX format = PhoneFormat();
    if (!FindPlaybackDevice(name, id) ||
        waveOutOpen(&device, id, &format, event.Callback(), 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        device = nullptr;
        return false;
    }
    for (unsigned i = 0; i < Buffers; ++i) {
        headers[i] = FrameHeader(frames[i]);
        if (waveOutPrepareHeader(device, &headers[i], sizeof headers[i]) != MMSYSERR_NOERROR) {
            Close();
            return false;
        }
    }
    return true;
}

void WavePlayback::Close() {
    if (device == nullptr)
        return;
    // Reset hands every queued buffer back, so that each can be unprepared; a device that went away
    // answers with an error and holds nothing any more.
    waveOutReset(device);
    for (WAVEHDR& header : headers)
        if ((header.dwFlags & WHDR_PREPARED) != 0)
            waveOutUnprepareHeader(device, &header, sizeof header);
    waveOutClose(device);
    device = nullptr;
    queued = {};
    next = 0;
}

int WavePlayback::Refill(const std::function<void(Frame&)>& fill) {
    int count = 0;
    while (device != nullptr && (!queued[next] || (headers[next].dwFlags & WHDR_DONE) != 0)) {
        fill(frames[next]);
        queued[next] = waveOutWrite(device, &headers[next], sizeof headers[next]) == MMSYSERR_NOERROR;
        if (!queued[next])
            return -1;
        next = (next + 1) % Buffers;
        ++count;
    }
    return count;
}

} // namespace sound
