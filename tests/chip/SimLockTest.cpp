// The lock every process of the simulation holds over its shared state: the library's register accesses and
// a test's own changes exclude each other, a holder may take it again, and a thread that ends holding it
// does not stop the others.
#include <atomic>
#include <thread>

#include "chip/Registers.h"
#include "tests/chip/SimLibraryTest.h"

namespace {

class SimLockTest : public SimLibraryTest {
  protected:
    static uint32_t Transfers() {
        return WithSim([](SimState& state) { return state.registerTransfers; });
    }
};

TEST_F(SimLockTest, TheLibrarysAccessesAndAnotherThreadsChangesNeverInterleave) {
    constexpr uint32_t Rounds = 4000;
    uint32_t before = Transfers();
    // Each register read counts itself in the library; the other thread counts by hand, slowly.
    std::thread reader([] {
        uint8_t value = 0;
        for (uint32_t i = 0; i < Rounds; ++i)
            ReadRegister(19, &value);
    });
    std::thread counter([] {
        for (uint32_t i = 0; i < Rounds; ++i)
            WithSim([](SimState& state) {
                uint32_t seen = state.registerTransfers;
                SwitchToThread();
                state.registerTransfers = seen + 1;
            });
    });
    reader.join();
    counter.join();
    EXPECT_EQ(Transfers() - before, 2 * Rounds) << "counts were lost: two threads held the lock at once";
}

TEST_F(SimLockTest, AHolderTakesItAgainThroughTheLibraryAndOthersWaitUntilItLetsGo) {
    std::atomic<bool> otherGotIt{false};
    std::thread other;
    WithSim([&](SimState&) {
        uint8_t value = 0;
        EXPECT_EQ(ReadRegister(19, &value), 1) << "the library's call inside the lock did not go through";
        other = std::thread([&] { WithSim([&](SimState&) { otherGotIt = true; }); });
        Sleep(200);
        EXPECT_FALSE(otherGotIt) << "the library's call let the lock go while its caller still held it";
    });
    bool letGo = test::WaitUntil([&] { return otherGotIt.load(); }, 2000);
    EXPECT_TRUE(letGo) << "the lock was never let go";
    letGo ? other.join() : other.detach();
}

TEST_F(SimLockTest, AThreadThatEndsHoldingItLeavesItToTheNext) {
    std::thread([] { new SimLock; }).join(); // a killed program's thread, in the middle of an access
    std::atomic<bool> done{false};
    std::thread next([&] {
        uint8_t value = 0;
        ReadRegister(19, &value);
        done = true;
    });
    bool taken = test::WaitUntil([&] { return done.load(); }, 2000);
    EXPECT_TRUE(taken) << "the lock stayed with the ended thread";
    taken ? next.join() : next.detach();
}

} // namespace
