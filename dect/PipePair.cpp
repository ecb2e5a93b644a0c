#include "dect/PipePair.h"

namespace {
constexpr DWORD PipeBufferSize = 2048;
}

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

int PipePair::Write(const void* data, int count) {
    DWORD written = 0;
    if (!created || count <= 0 || !WriteFile(writeEnd, data, static_cast<DWORD>(count), &written, nullptr))
        return 0;
    if (written > 0)
        SetEvent(dataEvent);
    return static_cast<int>(written);
}
