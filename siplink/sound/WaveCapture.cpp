#include "siplink/sound/WaveCapture.h"

#include "siplink/sound/DeviceList.h"

namespace sound {

bool WaveCapture::Open(const std::string& name) {
    Close();
    UINT id = 0;
    WAVEFORMATEX format = PhoneFormat();
    if (!FindCaptureDevice(name, id) ||
        waveInOpen(&device, id, &format, event.Callback(), 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        device = nullptr;
        return false;
    }
    bool ready = true;
    for (unsigned i = 0; i < Buffers && ready; ++i) {
        headers[i] = FrameHeader(frames[i]);
        ready = waveInPrepareHeader(device, &headers[i], sizeof headers[i]) == MMSYSERR_NOERROR &&
                waveInAddBuffer(device, &headers[i], sizeof headers[i]) == MMSYSERR_NOERROR;
    }
    if (!ready || waveInStart(device) != MMSYSERR_NOERROR) {
        Close();
        return false;
    }
    return true;
}

void WaveCapture::Close() {
    if (device == nullptr)
        return;
    // Reset hands every buffer back, so that each can be unprepared; a device that went away answers with
    // an error and holds nothing any more.
    waveInReset(device);
    for (WAVEHDR& header : headers)
        if ((header.dwFlags & WHDR_PREPARED) != 0)
            waveInUnprepareHeader(device, &header, sizeof header);
    waveInClose(device);
    device = nullptr;
    next = 0;
}

int WaveCapture::Collect(const std::function<void(const Frame&)>& take) {
    int count = 0;
    while (device != nullptr && (headers[next].dwFlags & WHDR_DONE) != 0) {
        WAVEHDR& header = headers[next];
        // Only a reset hands back a buffer that is not full, and Close does not collect: a device that
        // does so otherwise is failing.
        if (header.dwBytesRecorded != sizeof frames[next])
            return -1;
        take(frames[next]);
        header.dwFlags &= ~WHDR_DONE;
        header.dwBytesRecorded = 0;
        if (waveInAddBuffer(device, &header, sizeof header) != MMSYSERR_NOERROR)
            return -1;
        next = (next + 1) % Buffers;
        ++count;
    }
    return count;
}

} // namespace sound
