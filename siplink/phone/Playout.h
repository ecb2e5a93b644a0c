#pragma once
// What the speaker plays, handed from the stack to the sound thread: the far end's decoded sound, or a
// call-progress tone (ringback while the far end rings, busy after a refused call) made on the sound
// thread at the devices' own pace. A few frames at most wait: the jitter buffer before it does the
// waiting, and the speaker must not lag behind the call. Plain C++.
#include <deque>
#include <functional>
#include <mutex>

#include "siplink/phone/Sound.h"

namespace phone {

enum class Tone { None, Ringback, Busy };

class Playout {
  public:
    static constexpr size_t MaxFrames = 3;

    // Makes the next frame of a tone, counting from the tone's start (samples played of it so far);
    // answers false when it has none.
    using ToneMaker = std::function<bool(Tone tone, uint64_t sample, Frame& frame)>;
    explicit Playout(ToneMaker makeTone) : makeTone(std::move(makeTone)) {}

    // Stack thread: the far end's sound, decoded.
    void Push(const Frame& frame);
    // Stack thread: a tone plays instead of the far end's sound from now on (None: the far end again);
    // frames waiting are dropped.
    void SetTone(Tone tone);
    Tone CurrentTone() const;
    // Sound thread: the next frame to play; false when there is none (silence plays).
    bool Next(Frame& frame);

  private:
    const ToneMaker makeTone;
    mutable std::mutex lock; // guards frames, tone and toneSample
    std::deque<Frame> frames;
    Tone tone = Tone::None;
    uint64_t toneSample = 0;
};

} // namespace phone
