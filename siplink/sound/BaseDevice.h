#pragma once
// Which of the system's sound devices is the DECT base's own: the one rule the account window's default
// and the phone share. Plain C++.
#include <string>
#include <vector>

namespace sound {

// The base's device among these names (playback or capture): the first USB device, "" when there is
// none. The base is a USB audio device ("Speakers (USB Audio Device)"); a PulseAudio monitor under Wine
// ("Monitor of USB ...") is the echo of a speaker, never the base's microphone.
std::string BaseDevice(const std::vector<std::string>& names);

} // namespace sound
