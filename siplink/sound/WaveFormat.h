#pragma once
// The wave API's description of the phone's sound: 8 kHz mono 16-bit PCM.
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

} // namespace sound
