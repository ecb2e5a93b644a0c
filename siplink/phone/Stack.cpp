// The stack's thread: libre set up, its loop run, everything freed on the same thread.
#include "siplink/phone/Stack.h"

#include <future>

#include "siplink/phone/Libre.h"
#include "siplink/phone/UserAgent.h"

namespace phone {

namespace {

// libre has one loop per process on Windows (built without threads): one stack at a time.
std::atomic<bool> stackRunning{false};

struct Loop {
    Inbox& inbox;
    UserAgent& agent;
};

// libre's queue: something waits in the inbox.
void OnWake(int, void*, void* arg) {
    Loop* loop = static_cast<Loop*>(arg);
    std::vector<Command> commands;
    std::vector<Frame> frames;
    loop->inbox.Take(commands, frames);
    for (Command& command : commands)
        loop->agent.Handle(command);
    for (const Frame& frame : frames)
        loop->agent.Captured(frame);
}

} // namespace

Stack::Stack(std::function<bool()> notifyWindow, SoundFactory soundFactory)
    : events(std::move(notifyWindow)), inbox([this] { return Wake(); }),
      sound(soundFactory ? std::move(soundFactory) : SoundFactory(MakeSilentSound)) {
    bool expected = false;
    if (!stackRunning.compare_exchange_strong(expected, true))
        return;
    std::promise<bool> ready;
    std::future<bool> answer = ready.get_future();
    thread = std::thread([this, &ready] { Run([&ready](bool ok) { ready.set_value(ok); }); });
    started = answer.get();
    if (!started) {
        thread.join();
        stackRunning = false;
    }
}

Stack::~Stack() {
    if (!started)
        return;
    Command stop;
    stop.kind = Command::Kind::Stop;
    inbox.Push(std::move(stop));
    thread.join();
    stackRunning = false;
}

bool Stack::Wake() {
    std::lock_guard<std::mutex> guard(queueLock);
    return queue && mqueue_push(queue, 0, nullptr) == 0;
}

void Stack::Run(std::function<void(bool)> ready) {
    if (libre_init() != 0) {
        ready(false);
        return;
    }
    {
        UserAgent agent(events, inbox, sound, nextCallId);
        Loop loop{inbox, agent};
        struct mqueue* made = nullptr;
        if (mqueue_alloc(&made, OnWake, &loop) != 0) {
            ready(false);
        } else {
            {
                std::lock_guard<std::mutex> guard(queueLock);
                queue = made;
            }
            ready(true);
            // Runs until the user agent, told to stop, has ended its calls and registration.
            re_main(nullptr);
            {
                std::lock_guard<std::mutex> guard(queueLock);
                queue = nullptr;
            }
            mem_deref(made);
        }
    }
    libre_close();
}

} // namespace phone
