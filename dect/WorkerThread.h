#pragma once
// A polling thread that can be started and stopped; the base of the two channel threads.
#include <windows.h>

#include <atomic>

class WorkerThread {
  public:
    // Stops a thread that still runs. A derived class whose Run uses its own members stops the thread in
    // its own destructor, before those members go.
    virtual ~WorkerThread();
    // Does nothing while a thread runs; else creates stopEvent and doneEvent and starts the thread at
    // time-critical priority with these creation flags. The process's priority class is left alone.
    virtual void Start(DWORD flags);
    // Sets `stopping` and signals stopEvent, waits up to 10000 ms for doneEvent, terminates the thread (exit
    // code 1) when it does not end, pauses 5 ms and forgets the thread; closes both events in every case.
    virtual void Stop();
    virtual void Run() = 0;
    virtual void Suspend();
    virtual void Resume();

    bool Running() const;
    HANDLE Handle() const { return thread; }

    static constexpr DWORD StopWaitMs = 10000;

  protected:
    // The body of a polling thread: runs step() every tickMs until Stop. It sleeps instead of waiting on
    // stopEvent with a timeout: under Wine every timed wait is a round trip to the Wine server, which a poll
    // would pay on every tick, and a sleep is not.
    template <class Step> void TickUntilStopped(DWORD tickMs, Step step) {
        for (;;) {
            Sleep(tickMs);
            if (stopping)
                return;
            step();
        }
    }

    // Set by Stop together with stopEvent: a thread that only sleeps looks at this one.
    std::atomic<bool> stopping{false};
    HANDLE stopEvent = nullptr;
    HANDLE doneEvent = nullptr;
    HANDLE thread = nullptr;

  private:
    static unsigned __stdcall Entry(void* self);
};
