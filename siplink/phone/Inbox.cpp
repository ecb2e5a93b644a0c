// The stack's inbox: commands and frames from the other threads.
#include "siplink/phone/Inbox.h"

namespace phone {

void Inbox::WakeOnce() {
    if (!woken)
        woken = wake();
}

void Inbox::Push(Command command) {
    std::lock_guard<std::mutex> guard(lock);
    commands.push_back(std::move(command));
    WakeOnce();
}

void Inbox::PushFrame(const Frame& frame) {
    std::lock_guard<std::mutex> guard(lock);
    if (frames.size() == MaxFrames)
        frames.pop_front();
    frames.push_back(frame);
    WakeOnce();
}

void Inbox::Take(std::vector<Command>& takenCommands, std::vector<Frame>& takenFrames) {
    std::lock_guard<std::mutex> guard(lock);
    woken = false;
    takenCommands.assign(std::make_move_iterator(commands.begin()), std::make_move_iterator(commands.end()));
    takenFrames.assign(frames.begin(), frames.end());
    commands.clear();
    frames.clear();
}

} // namespace phone
