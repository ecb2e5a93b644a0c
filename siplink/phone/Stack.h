#pragma once
// The stack's thread: libre's loop runs here, with the user agent and everything it owns. Other threads
// reach it only through the inbox and libre's queue (created on this thread before the loop starts, as
// libre 1.1.0 on Windows needs), and hear from it only through the event queue.
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "siplink/phone/EventQueue.h"
#include "siplink/phone/Inbox.h"
#include "siplink/phone/Sound.h"

struct mqueue;

namespace phone {

class Stack {
  public:
    // Starts the thread and waits until its loop can take commands (or could not start).
    Stack(std::function<bool()> notifyWindow, SoundFactory sound);
    // Asks the user agent to end everything in order, waits for the thread's end.
    ~Stack();
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;

    bool Started() const { return started; }
    // Ignored when the stack did not start: nothing would ever take it.
    void Push(Command command) {
        if (started)
            inbox.Push(std::move(command));
    }
    std::vector<Event> TakeEvents() { return events.Take(); }
    // A new call id: never 0, never used before in this run, whichever thread asks.
    CallId NewCallId() { return nextCallId++; }

  private:
    void Run(std::function<void(bool)> ready);
    bool Wake();

    EventQueue events;
    Inbox inbox;
    const SoundFactory sound;
    std::atomic<CallId> nextCallId{1};
    std::mutex queueLock; // guards queue: set by the stack's thread while its loop runs
    struct mqueue* queue = nullptr;
    bool started = false; // written before the constructor returns, read-only after
    std::thread thread;
};

} // namespace phone
