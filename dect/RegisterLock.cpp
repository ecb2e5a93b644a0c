#include "dect/RegisterLock.h"

#include "support/LockOwner.h"

namespace {

// How long a waiter trusts the owner before it looks whether the owner's thread has ended.
constexpr DWORD OwnerCheckMs = 50;

} // namespace

RegisterLock::RegisterLock() : released(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

RegisterLock::~RegisterLock() {
    if (released)
        CloseHandle(released);
}

bool RegisterLock::LockWithin(DWORD timeoutMs) {
    DWORD self = GetCurrentThreadId();
    if (owner.load() == self) {
        ++depth; // the holder takes it again
        return true;
    }
    LockOwner::BeforeTaking();
    DWORD start = GetTickCount();
    for (;;) {
        DWORD held = 0;
        if (owner.compare_exchange_strong(held, self)) {
            Took();
            return true;
        }
        DWORD waited = GetTickCount() - start;
        // A dead owner never unlocks: its lock is taken over, whatever it was doing.
        if (waited >= OwnerCheckMs && LockOwner::Ended(held) && owner.compare_exchange_strong(held, self)) {
            Took();
            return true;
        }
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
        if (taken) {
            Took();
            return true;
        }
    }
}

void RegisterLock::Took() {
    depth = 1;
    LockOwner::Took();
}

void RegisterLock::Unlock() {
    if (owner.load() != GetCurrentThreadId() || --depth > 0)
        return;
    LockOwner::LetGo();
    owner.store(0);
    if (waiters.load() > 0)
        SetEvent(released);
}
