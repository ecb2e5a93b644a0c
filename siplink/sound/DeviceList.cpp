#include "siplink/sound/DeviceList.h"

#include <mmsystem.h>

namespace sound {

namespace {

std::string Utf8(const WCHAR* text) {
    char buffer[4 * MAXPNAMELEN] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

// The names of the devices 0 to count - 1 of one kind (waveOut or waveIn); "" for one that gives none.
template <typename Caps, typename GetCaps> std::vector<std::string> Names(UINT count, GetCaps getCaps) {
    std::vector<std::string> names;
    Caps caps;
    for (UINT id = 0; id < count; ++id)
        names.push_back(getCaps(id, &caps, sizeof caps) == MMSYSERR_NOERROR ? Utf8(caps.szPname) : "");
    return names;
}

std::vector<std::string> PlaybackNames() {
    return Names<WAVEOUTCAPSW>(waveOutGetNumDevs(), waveOutGetDevCapsW);
}

std::vector<std::string> CaptureNames() {
    return Names<WAVEINCAPSW>(waveInGetNumDevs(), waveInGetDevCapsW);
}

bool Find(const std::vector<std::string>& names, const std::string& name, UINT& id) {
    if (name.empty()) {
        id = WAVE_MAPPER;
        return !names.empty();
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            id = static_cast<UINT>(i);
            return true;
        }
    }
    return false;
}

std::vector<std::string> Named(std::vector<std::string> names) {
    std::vector<std::string> named;
    for (std::string& name : names)
        if (!name.empty())
            named.push_back(std::move(name));
    return named;
}

} // namespace

DeviceNames ListDevices() {
    return DeviceNames{Named(PlaybackNames()), Named(CaptureNames())};
}

bool FindPlaybackDevice(const std::string& name, UINT& id) {
    return Find(PlaybackNames(), name, id);
}

bool FindCaptureDevice(const std::string& name, UINT& id) {
    return Find(CaptureNames(), name, id);
}

} // namespace sound
