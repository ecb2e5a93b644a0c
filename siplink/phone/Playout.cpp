// The speaker's side of the call: frames and tones between the stack and the sound thread.
#include "siplink/phone/Playout.h"

namespace phone {

void Playout::Push(const Frame& frame) {
    std::lock_guard<std::mutex> guard(lock);
    if (tone != Tone::None)
        return;
    if (frames.size() == MaxFrames)
        frames.pop_front();
    frames.push_back(frame);
}

void Playout::SetTone(Tone next) {
    std::lock_guard<std::mutex> guard(lock);
    if (next == tone)
        return;
    tone = next;
    toneSample = 0;
    frames.clear();
}

Tone Playout::CurrentTone() const {
    std::lock_guard<std::mutex> guard(lock);
    return tone;
}

bool Playout::Next(Frame& frame) {
    std::lock_guard<std::mutex> guard(lock);
    if (tone != Tone::None) {
        bool made = makeTone && makeTone(tone, toneSample, frame);
        toneSample += FrameSamples;
        return made;
    }
    if (frames.empty())
        return false;
    frame = frames.front();
    frames.pop_front();
    return true;
}

} // namespace phone
