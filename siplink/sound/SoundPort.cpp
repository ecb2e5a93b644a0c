#include "siplink/sound/SoundPort.h"

#include <windows.h>

#include <mutex>
#include <thread>

#include "siplink/sound/SoundLoop.h"

namespace sound {

struct SoundPort::Impl {
    explicit Impl(Handlers handlers) : handlers(std::move(handlers)) {}
    ~Impl() { CloseHandle(wake); }
    void Run(const std::string& speaker, const std::string& microphone);

    const Handlers handlers;
    // Wakes the sound thread for what the owner asks, in `guard`.
    HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::mutex guard;
    bool stopAsked = false;      // guarded
    bool devicesChanged = false; // guarded
    std::thread thread;          // the owner's
};

void SoundPort::Impl::Run(const std::string& speaker, const std::string& microphone) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SoundLoop loop(handlers, speaker, microphone);
    for (;;) {
        if (!loop.Serve(wake))
            continue;
        bool look = false;
        {
            std::lock_guard<std::mutex> lock(guard);
            if (stopAsked)
                return;
            look = devicesChanged;
            devicesChanged = false;
        }
        if (look)
            loop.LookAgain();
    }
}

SoundPort::SoundPort(Handlers handlers) : impl(std::make_unique<Impl>(std::move(handlers))) {}

SoundPort::~SoundPort() {
    Stop();
}

void SoundPort::Start(const std::string& speaker, const std::string& microphone) {
    Stop();
    impl->thread = std::thread([this, speaker, microphone] { impl->Run(speaker, microphone); });
}

void SoundPort::Stop() {
    if (!impl->thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(impl->guard);
        impl->stopAsked = true;
    }
    SetEvent(impl->wake);
    impl->thread.join();
    std::lock_guard<std::mutex> lock(impl->guard);
    impl->stopAsked = false;
    impl->devicesChanged = false;
}

bool SoundPort::Running() const {
    return impl->thread.joinable();
}

void SoundPort::DevicesChanged() {
    {
        std::lock_guard<std::mutex> lock(impl->guard);
        impl->devicesChanged = true;
    }
    SetEvent(impl->wake);
}

} // namespace sound
