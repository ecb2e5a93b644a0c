#include "dect/PipePair.h"

#include <algorithm>

#include "support/TraceLog.h"

namespace {
constexpr DWORD PipeBufferSize = 2048;
constexpr int TrafficLevel = 20;
} // namespace

int PipePair::Create() {
    created = CreatePipe(&readEnd, &writeEnd, nullptr, PipeBufferSize) ? 1 : 0;
    if (created) {
        dataEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!dataEvent)
            Close();
    }
    return created;
}

int PipePair::Close() {
    if (!created)
        return 1;
    bool closed = CloseHandle(writeEnd) && CloseHandle(readEnd);
    if (dataEvent)
        CloseHandle(dataEvent);
    // Forget the handles whatever happened: a second Close must not close handles that the system may
    // already have given to someone else.
    created = 0;
    readEnd = nullptr;
    writeEnd = nullptr;
    dataEvent = nullptr;
    return closed ? 1 : 0;
}

int PipePair::Read(void* buffer, int count) {
    DWORD available = 0;
    if (!created || count <= 0 || !PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) ||
        available == 0)
        return 0;
    DWORD wanted = available < static_cast<DWORD>(count) ? available : static_cast<DWORD>(count);
    DWORD read = 0;
    return ReadFile(readEnd, buffer, wanted, &read, nullptr) ? static_cast<int>(read) : 0;
}

// The room is counted before the pipe is looked at: a write that another thread finished in between is then
// seen in the pipe, or counted twice, never missed.
int PipePair::Write(const void* data, int count) {
    if (!created || count <= 0)
        return 0;
    LONG pending = writing.fetch_add(count) + count;
    DWORD held = 0;
    bool looked = PeekNamedPipe(readEnd, nullptr, 0, nullptr, &held, nullptr);
    bool fits = looked && static_cast<DWORD>(pending) <= PipeBufferSize - std::min(held, PipeBufferSize);
    DWORD written = 0;
    if (fits && !WriteFile(writeEnd, data, static_cast<DWORD>(count), &written, nullptr))
        written = 0;
    writing.fetch_sub(count);
    if (looked && !fits)
        Trace(TrafficLevel, "[Pipe] : full, %d bytes dropped; %lu bytes wait for the reader", count,
              static_cast<unsigned long>(held));
    if (written > 0)
        SetEvent(dataEvent);
    return static_cast<int>(written);
}
