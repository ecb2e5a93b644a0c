#pragma once
// The stack's events on their way to the window thread: the stack pushes, the window thread takes them
// all when the one notification (a posted window message) arrives. At most one notification waits at a
// time, so a window thread that is slow to take them gets one message for many events. Plain C++.
#include <functional>
#include <mutex>
#include <vector>

#include "siplink/phone/Event.h"

namespace phone {

class EventQueue {
  public:
    // `notify` tells the window thread that events wait (PostMessage); it answers false when that failed,
    // and the next Push tries again.
    explicit EventQueue(std::function<bool()> notify) : notify(std::move(notify)) {}

    void Push(Event event);
    std::vector<Event> Take();

  private:
    const std::function<bool()> notify;
    std::mutex lock; // guards waiting and notified
    std::vector<Event> waiting;
    bool notified = false; // a notification is out and not yet answered by Take
};

} // namespace phone
