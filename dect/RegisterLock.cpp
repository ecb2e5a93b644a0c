#include "dect/RegisterLock.h"

namespace {

// How long a waiter trusts the owner before it looks whether the owner's thread still exists.
constexpr DWORD OwnerCheckMs = 50;

bool ThreadAlive(DWORD id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread)
        return false;
    bool alive = WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    CloseHandle(thread);
    return alive;
}

} // namespace

RegisterLock::RegisterLock() : released(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

RegisterLock::~RegisterLock() {
    if (released)
        CloseHandle(released);
}

bool RegisterLock::LockWithin(DWORD timeoutMs) {
    DWORD self = GetCurrentThreadId();
    if (owner.load() == self) {
        ++depth;
        return true;
    }
    DWORD start = GetTickCount();
    for (;;) {
        DWORD held = 0;
        if (owner.compare_exchange_strong(held, self))
            break;
        DWORD waited = GetTickCount() - start;
        // A dead owner never unlocks: its lock is taken over, whatever it was doing.
        if (waited >= OwnerCheckMs && !ThreadAlive(held) && owner.compare_exchange_strong(held, self))
            break;
        if (timeoutMs != INFINITE && waited >= timeoutMs)
            return false;
        ++waiters;
        held = 0;
        // Announced as a waiter, try once more: an unlock in between saw no waiter and set no event.
        bool taken = owner.compare_exchange_strong(held, self);
        if (!taken) {
            DWORD slice = OwnerCheckMs;
            if (timeoutMs != INFINITE && timeoutMs - waited < slice)
                slice = timeoutMs - waited;
            WaitForSingleObject(released, slice);
        }
        --waiters;
        if (taken)
            break;
    }
    depth = 1;
    return true;
}

void RegisterLock::Unlock() {
    if (owner.load() != GetCurrentThreadId() || --depth > 0)
        return;
    owner.store(0);
    if (waiters.load() > 0)
        SetEvent(released);
}
