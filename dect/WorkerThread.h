#pragma once
// A polling thread that can be started and stopped; the base of the two channel threads.
#include <windows.h>

class WorkerThread {
public:
    virtual ~WorkerThread();
    virtual void Start(DWORD flags);
    // Signals stopEvent, waits up to 10000 ms for doneEvent, terminates the thread when it does not end,
    // pauses 5 ms; closes both events in every case.
    virtual void Stop();
    virtual void Run() = 0;
    virtual void Suspend();
    virtual void Resume();

    static constexpr DWORD StopWaitMs = 10000;

protected:
    HANDLE stopEvent = nullptr;
    HANDLE doneEvent = nullptr;
    HANDLE thread = nullptr;

private:
    static unsigned __stdcall Entry(void* self);
};
