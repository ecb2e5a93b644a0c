#pragma once
// An anonymous pipe with both its ends.
#include <windows.h>

class PipePair {
  public:
    // Creates the pipe (default security, 2048-byte buffer); answers and keeps the success flag.
    int Create();
    // 1 at once when never created; else closes the write end, then the read end: 1 when both closed.
    int Close();
    // 0 when not created or empty at this moment (never blocks); else the number of bytes read.
    int Read(void* buffer, int count);
    int Write(const void* data, int count);

    int created = 0;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
};
