// The stack's events handed to the window thread.
#include "siplink/phone/EventQueue.h"

namespace phone {

void EventQueue::Push(Event event) {
    std::lock_guard<std::mutex> guard(lock);
    waiting.push_back(std::move(event));
    if (!notified)
        notified = notify();
}

std::vector<Event> EventQueue::Take() {
    std::lock_guard<std::mutex> guard(lock);
    notified = false;
    std::vector<Event> taken;
    taken.swap(waiting);
    return taken;
}

} // namespace phone
