#pragma once
// What the other threads hand the stack: the window thread's commands and the sound thread's captured
// frames. They wait here, guarded, and one wake-up (a message on libre's queue, sent when the inbox stops
// being empty) makes the stack take them all. Plain C++.
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "siplink/phone/Event.h"
#include "siplink/phone/Settings.h"
#include "siplink/phone/Sound.h"

namespace phone {

struct Command {
    enum class Kind { Apply, Register, Unregister, Dial, Answer, Hangup, Digit, DevicesChanged, Watch, Stop };
    Kind kind = Kind::Stop;
    Settings settings;             // Apply
    bool registerAgain = false;    // Apply
    CallId call = 0;               // Dial, Answer, Hangup, Digit
    std::string target;            // Dial
    char key = 0;                  // Digit
    std::vector<std::string> uris; // Watch
};

class Inbox {
  public:
    // Frames kept at most: a stack that was held up drops the older ones rather than lag behind the
    // microphone.
    static constexpr size_t MaxFrames = 10;

    // `wake` tells the stack that something waits (libre's queue); it answers false when that failed,
    // and the next push tries again.
    explicit Inbox(std::function<bool()> wake) : wake(std::move(wake)) {}

    void Push(Command command);
    void PushFrame(const Frame& frame);
    // Everything waiting, in the order it came (commands and frames each).
    void Take(std::vector<Command>& commands, std::vector<Frame>& frames);

  private:
    void WakeOnce(); // with lock held

    const std::function<bool()> wake;
    std::mutex lock; // guards commands, frames and woken
    std::deque<Command> commands;
    std::deque<Frame> frames;
    bool woken = false; // a wake-up is out and not yet answered by Take
};

} // namespace phone
