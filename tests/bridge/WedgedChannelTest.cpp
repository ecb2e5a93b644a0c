// A channel thread that will not stop while it holds the base's registers (a register access that never
// returns): the window's next handshake must neither wait for ever nor find the registers held by a
// thread that is gone.
#include <gtest/gtest.h>
#include <windows.h>

#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"
#include "dect/WorkerThread.h"
#include "sim/control/SimControl.h"

namespace {

// Takes the registers and keeps them, heeding no stop.
class WedgedChannel : public WorkerThread {
  public:
    explicit WedgedChannel(PhoneDevice& device)
        : device(device), holding(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          letGo(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~WedgedChannel() override {
        SetEvent(letGo);
        Stop();
        CloseHandle(holding);
        CloseHandle(letGo);
    }
    void Run() override {
        device.LockRegisters();
        SetEvent(holding);
        WaitForSingleObject(letGo, INFINITE);
        device.UnlockRegisters();
    }
    bool Holding() const { return WaitForSingleObject(holding, 5000) == WAIT_OBJECT_0; }
    void LetGo() const { SetEvent(letGo); }

  private:
    PhoneDevice& device;
    HANDLE holding;
    HANDLE letGo;
};

// Runs the base's handshake on a thread of its own, as the window would, and answers its result and how
// long it took; -1 when it had not returned after timeoutMs (the thread is then killed).
struct Handshake {
    int result = -1;
    DWORD tookMs = 0;
};
struct HandshakeCall {
    DectBase* base;
    int result;
};
DWORD WINAPI HandshakeThread(void* argument) {
    auto* call = static_cast<HandshakeCall*>(argument);
    call->result = call->base->Open();
    return 0;
}
Handshake RunHandshake(DectBase& base, DWORD timeoutMs) {
    HandshakeCall call = {&base, -1};
    DWORD start = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, HandshakeThread, &call, 0, nullptr);
    bool ended = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    if (!ended)
        TerminateThread(thread, 1);
    CloseHandle(thread);
    return {ended ? call.result : -1, GetTickCount() - start};
}

class WedgedChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SimReset();
        ASSERT_TRUE(LoadPhoneLibrary());
    }
    void TearDown() override { UnloadPhoneLibrary(); }
};

TEST_F(WedgedChannelTest, ARegisterLockHeldByAThreadThatWasTerminatedIsTakenOver) {
    DectBase base;
    WedgedChannel channel(base);
    channel.Start(0);
    ASSERT_TRUE(channel.Holding());
    channel.Stop(); // gives up after its wait and terminates the thread
    ASSERT_FALSE(channel.Running());

    Handshake handshake = RunHandshake(base, 8000);
    EXPECT_EQ(handshake.result, 1) << "-1: the handshake still waited for the dead thread's lock after "
                                   << handshake.tookMs << " ms";
    EXPECT_LT(handshake.tookMs, 3000u);
}

TEST_F(WedgedChannelTest, ALiveThreadHoldingTheRegistersCostsTheHandshakeABoundedWait) {
    DectBase base;
    WedgedChannel channel(base);
    channel.Start(0);
    ASSERT_TRUE(channel.Holding());

    Handshake handshake = RunHandshake(base, 8000);
    EXPECT_EQ(handshake.result, 0) << "the base counts as silent while its registers cannot be had";
    EXPECT_GE(handshake.tookMs, 1900u);
    EXPECT_LT(handshake.tookMs, 4000u) << "-1 above: the handshake waited without bound";

    channel.LetGo();
    EXPECT_EQ(RunHandshake(base, 8000).result, 1) << "once the thread lets go the handshake works";
}

} // namespace
