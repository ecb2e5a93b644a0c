#pragma once
// The lock over a device's registers. Its owner is known by thread id, and a thread keeps its id out of
// reuse while the lock may name it (support/LockOwner.h), so a lock whose owner died holding it (a channel
// thread terminated because it would not stop) is taken over by the next thread that asks, instead of being
// held for ever, and a thread that finds its own id as the owner really holds it. A thread may take it again
// while it holds it: each take wants its own Unlock, and only the last one lets it go. A thread that must not
// wait long asks with a time bound.
#include <windows.h>

#include <atomic>

class RegisterLock {
  public:
    RegisterLock();
    ~RegisterLock();
    RegisterLock(const RegisterLock&) = delete;
    RegisterLock& operator=(const RegisterLock&) = delete;

    // Waits as long as a live thread holds the lock.
    void Lock() { LockWithin(INFINITE); }
    // Answers false when a live thread held the lock for all of timeoutMs.
    bool LockWithin(DWORD timeoutMs);
    void Unlock();

  private:
    void Took();

    std::atomic<DWORD> owner{0}; // thread id, 0 when free
    int depth = 0;               // the owner's takes not yet let go; only the owner touches it
    std::atomic<LONG> waiters{0};
    HANDLE released; // auto-reset: set by an unlock that others wait for
};
