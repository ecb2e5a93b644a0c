#pragma once
// The system's sound devices of the wave API, by the names Windows gives them (UTF-8, at most 31
// characters). Devices are kept by name, not number: numbers change when a USB device comes or goes.
#include <windows.h>

#include <string>
#include <vector>

namespace sound {

struct DeviceNames {
    std::vector<std::string> playback;
    std::vector<std::string> capture;
};

DeviceNames ListDevices();

// The device number of a name for waveOutOpen / waveInOpen: WAVE_MAPPER for "" (the system's default);
// false when no such device is there.
bool FindPlaybackDevice(const std::string& name, UINT& id);
bool FindCaptureDevice(const std::string& name, UINT& id);

} // namespace sound
