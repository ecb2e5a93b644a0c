#pragma once
// An anonymous pipe with both its ends, and an event that tells its reader that bytes were written.
#include <windows.h>

#include <atomic>

class PipePair {
  public:
    // Creates the pipe (default security, 2048-byte buffer) and its event; answers and keeps the success
    // flag.
    int Create();
    // 1 at once when never created; else closes the write end, then the read end: 1 when both closed.
    // The event goes with them.
    int Close();
    // 0 when not created or empty at this moment (never blocks); else the number of bytes read.
    int Read(void* buffer, int count);
    // Puts all count bytes in, or none: a write that would not fit beside what the pipe holds is refused
    // with a line in the trace log and answers 0, so that a writer never waits for a reader that is stuck
    // (the system would hold it until the reader made room). Sets dataEvent when bytes went in.
    int Write(const void* data, int count);

    int created = 0;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    // Auto-reset, set by every Write that put bytes in: the one thread that reads the pipe waits on it
    // instead of looking again and again. It may be set while the pipe is already empty again, so a
    // waiter reads until the pipe is empty and then waits.
    HANDLE dataEvent = nullptr;

  private:
    // Bytes that writers on other threads are putting in now, not yet seen in the pipe.
    std::atomic<LONG> writing{0};
};
