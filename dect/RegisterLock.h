#pragma once
// The lock over a device's registers. Its owner is known by thread id, so a lock whose owner died holding
// it (a channel thread terminated because it would not stop) is taken over by the next thread that asks,
// instead of being held for ever; and a thread that must not wait long asks with a time bound. The owner
// may take it again while it holds it.
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
    std::atomic<DWORD> owner{0}; // thread id, 0 when free
    int depth = 0;               // how often the owner has taken it
    std::atomic<LONG> waiters{0};
    HANDLE released; // auto-reset: set by an unlock that others wait for
};
