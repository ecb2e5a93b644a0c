#include "dect/WorkerThread.h"

#include <process.h>

#include <initializer_list>

WorkerThread::~WorkerThread() {
    Stop();
}

bool WorkerThread::Running() const {
    return thread && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
}

void WorkerThread::Start(DWORD flags) {
    if (Running())
        return;
    Stop(); // a thread that ended on its own still holds its handle and events
    stopping = false;
    stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    doneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    // Created suspended so that it never runs a moment below its priority.
    unsigned id = 0;
    thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Entry, this, flags | CREATE_SUSPENDED, &id));
    if (!thread)
        return;
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    if (!(flags & CREATE_SUSPENDED))
        ResumeThread(thread);
}

void WorkerThread::Stop() {
    if (Running()) {
        stopping = true;
        SetEvent(stopEvent);
        if (WaitForSingleObject(doneEvent, StopWaitMs) == WAIT_TIMEOUT)
            TerminateThread(thread, 1);
        Sleep(5);
    }
    for (HANDLE* handle : {&thread, &stopEvent, &doneEvent}) {
        if (*handle)
            CloseHandle(*handle);
        *handle = nullptr;
    }
}

void WorkerThread::Suspend() {
    if (Running())
        SuspendThread(thread);
}

void WorkerThread::Resume() {
    if (Running())
        ResumeThread(thread);
}

unsigned __stdcall WorkerThread::Entry(void* self) {
    auto* worker = static_cast<WorkerThread*>(self);
    worker->Run();
    SetEvent(worker->doneEvent);
    return 0;
}
