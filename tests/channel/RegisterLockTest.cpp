// The lock over the base's registers under real threads: a holder may take it again without letting it go
// early, an owner that ended holding it is taken over, its id is not given to another thread meanwhile, and
// two threads never hold it at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "dect/RegisterLock.h"
#include "tests/common/TestSupport.h"

namespace {

// Runs body on a thread of its own that has ended by the time the call returns; its handle is closed, so
// only the lock can still keep the thread's id. Answers the id.
template <class Body> DWORD RunToEnd(Body body) {
    DWORD id = 0;
    std::thread thread([&] {
        id = GetCurrentThreadId();
        body();
    });
    thread.join();
    return id;
}

// Takes the lock and is terminated while it holds it, as a channel thread that would not stop.
struct HolderStart {
    RegisterLock* lock;
    HANDLE holding;
};
DWORD WINAPI HoldForEver(void* argument) {
    auto* start = static_cast<HolderStart*>(argument);
    start->lock->Lock();
    SetEvent(start->holding);
    Sleep(INFINITE);
    return 0;
}
void TerminatedHolder(RegisterLock& lock) {
    HolderStart start = {&lock, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = CreateThread(nullptr, 0, HoldForEver, &start, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(start.holding, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    TerminateThread(thread, 1);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(start.holding);
}

// Several threads take the lock many times each and count how many hold it at once.
int MostHoldersAtOnce(RegisterLock& lock, int threads, int rounds) {
    std::atomic<int> holders{0};
    std::atomic<int> most{0};
    std::vector<std::thread> takers;
    for (int t = 0; t < threads; ++t)
        takers.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                lock.Lock();
                int now = ++holders;
                if (now > most)
                    most = now;
                SwitchToThread();
                --holders;
                lock.Unlock();
            }
        });
    for (std::thread& taker : takers)
        taker.join();
    return most;
}

TEST(RegisterLock, ATakeOnTheHoldingThreadIsCountedAndOnlyTheLastUnlockLetsGo) {
    RegisterLock lock;
    lock.Lock();
    lock.Lock();
    lock.Unlock();
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = lock.LockWithin(300); }).join();
    EXPECT_FALSE(otherGotIt) << "the inner Unlock let go of the outer hold";

    lock.Unlock();
    std::thread([&] {
        otherGotIt = lock.LockWithin(300);
        if (otherGotIt)
            lock.Unlock();
    }).join();
    EXPECT_TRUE(otherGotIt) << "the last Unlock did not let go";
}

TEST(RegisterLock, AnOwnerTerminatedWhileHoldingItIsTakenOverByOneThreadAtATime) {
    RegisterLock lock;
    TerminatedHolder(lock);
    DWORD start = GetTickCount();
    bool taken = lock.LockWithin(2000);
    EXPECT_TRUE(taken) << "the lock stayed with the terminated thread";
    EXPECT_LT(GetTickCount() - start, 1000u);
    if (taken)
        lock.Unlock();

    // Again, with several threads waiting when the owner goes.
    TerminatedHolder(lock);
    EXPECT_EQ(MostHoldersAtOnce(lock, 4, 300), 1) << "two threads held the lock at once";
}

// Windows gives the id of an ended thread to a new one once nothing holds the old thread: a new thread
// with the old owner's id, alive and never near the lock, would keep every waiter waiting.
TEST(RegisterLock, AnOwnerThatEndedHoldingItKeepsItsIdFromNewThreads) {
    RegisterLock lock;
    DWORD ended = RunToEnd([&] { lock.Lock(); });
    // New threads until one has the ended owner's id; it stays alive while the lock is asked for.
    HANDLE keepAlive = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> sleepers;
    int reusedAfter = 0;
    for (int i = 1; i <= 1500 && !reusedAfter; ++i) {
        DWORD id = 0;
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        sleepers.emplace_back([&] {
            id = GetCurrentThreadId();
            SetEvent(ready);
            if (id == ended)
                WaitForSingleObject(keepAlive, INFINITE);
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
        if (id == ended)
            reusedAfter = i;
        else
            sleepers.back().join();
    }
    EXPECT_EQ(reusedAfter, 0) << "thread " << reusedAfter << " got the id of the lock's ended owner";
    EXPECT_TRUE(lock.LockWithin(2000)) << "a live thread with the ended owner's id kept the lock";
    lock.Unlock();
    SetEvent(keepAlive);
    for (std::thread& sleeper : sleepers)
        if (sleeper.joinable())
            sleeper.join();
    CloseHandle(keepAlive);
}

} // namespace
