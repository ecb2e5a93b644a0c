// The sound of a phone without devices: silence taken and sound dropped every 20 ms, paced by a waitable
// timer as a wave device would pace them.
#include <windows.h>

#include <thread>

#include "siplink/phone/Sound.h"

namespace phone {

namespace {

class SilentSound : public Sound {
  public:
    explicit SilentSound(Handlers handlers) : handlers(std::move(handlers)) {}
    ~SilentSound() override { Stop(); }

    void Start(const std::string&, const std::string&) override {
        if (thread.joinable())
            return;
        stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
        LARGE_INTEGER due;
        due.QuadPart = -200000; // 20 ms, in 100 ns steps
        if (!stop || !timer || !SetWaitableTimer(timer, &due, 20, nullptr, nullptr, FALSE)) {
            Close();
            return;
        }
        thread = std::thread([this] { Run(); });
    }

    void Stop() override {
        if (thread.joinable()) {
            SetEvent(stop);
            thread.join();
        }
        Close();
    }

    void DevicesChanged() override {}

  private:
    void Run() {
        HANDLE waits[] = {stop, timer};
        Frame silence{};
        Frame played{};
        while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            handlers.captured(silence);
            handlers.nextToPlay(played);
        }
    }

    void Close() {
        if (timer)
            CloseHandle(timer);
        if (stop)
            CloseHandle(stop);
        timer = stop = nullptr;
    }

    const Handlers handlers;
    HANDLE stop = nullptr;  // set by Stop, read by the thread
    HANDLE timer = nullptr; // the pace
    std::thread thread;
};

} // namespace

std::unique_ptr<Sound> MakeSilentSound(Sound::Handlers handlers) {
    return std::make_unique<SilentSound>(std::move(handlers));
}

} // namespace phone
