// The device session on its own, over the simulated library and base: its threads' lifetimes, the
// handshake beside the window and the lights across it.
#include <gtest/gtest.h>
#include <windows.h>

#include "bridge/DeviceSession.h"
#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"
#include "sim/control/ChipControl.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"

namespace {

class DeviceSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SimReset();
        ASSERT_TRUE(LoadPhoneLibrary());
        window = CreateWindowExA(0, "STATIC", "session test", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        UnloadPhoneLibrary();
    }
    // Runs the window's messages until the session's handshake has ended, and answers its outcome.
    DeviceSession::Handshaken AwaitHandshake(DeviceSession& session) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 5000) {
            MSG msg;
            if (!PeekMessageA(&msg, window, WM_HANDSET_EVENT, WM_HANDSET_EVENT, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
                continue;
            }
            if (msg.wParam == HANDSET_HANDSHAKE_DONE)
                return session.OnHandshakeDone();
        }
        ADD_FAILURE() << "the handshake did not end";
        return DeviceSession::Handshaken::Stray;
    }
    void StartBase(DeviceSession& session) {
        ASSERT_EQ(session.Open(window), DeviceSession::Opening::Waking);
        ASSERT_EQ(AwaitHandshake(session), DeviceSession::Handshaken::Started);
        session.Run();
    }
    HWND window = nullptr;
};

TEST_F(DeviceSessionTest, GoingAwayInServiceStopsTheEventThreadFirst) {
    HANDLE thread = nullptr;
    {
        DeviceSession session;
        StartBase(session);
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), session.EventThread(), GetCurrentProcess(), &thread,
                                    0, FALSE, DUPLICATE_SAME_ACCESS));
        ASSERT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "no thread ran";
        ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.initialised; }, 5000));
    }
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the event thread outlived its session";
    DWORD code = STILL_ACTIVE;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u) << "the thread was killed rather than stopped";
    CloseHandle(thread);
}

TEST_F(DeviceSessionTest, AResumeShowsTheLightsAsTheyWere) {
    DeviceSession session;
    StartBase(session);
    for (bool skype : {false, true}) {
        for (bool call : {false, true}) {
            session.SetSkypeIndicator(skype);
            session.SetCallIndicator(call);
            ASSERT_TRUE(session.Resume());
            EXPECT_EQ(AwaitHandshake(session), DeviceSession::Handshaken::Resumed);
            HandsetView view = ReadHandset();
            EXPECT_EQ(view.skypeLight, skype) << "Skype " << skype << ", call " << call;
            EXPECT_EQ(view.callLight, call) << "Skype " << skype << ", call " << call;
        }
    }
    session.StopThread();
    session.Close();
}

// The window goes on while an asleep base wakes; the lights asked for meanwhile show when it is awake, and
// a message that no handshake posted changes nothing.
TEST_F(DeviceSessionTest, TheBaseWakesBesideTheWindowAndShowsTheLightsAskedMeanwhile) {
    ChipSetBusBehaviour(BusAsleep);
    DeviceSession session;
    EXPECT_EQ(session.OnHandshakeDone(), DeviceSession::Handshaken::Stray) << "no handshake ran";
    ASSERT_EQ(session.Open(window), DeviceSession::Opening::Waking);
    EXPECT_TRUE(session.Waking());
    EXPECT_FALSE(session.Resume()) << "a resume during the start's handshake began another beside it";
    session.SetSkypeIndicator(true);
    session.SetCallIndicator(false);
    EXPECT_EQ(AwaitHandshake(session), DeviceSession::Handshaken::Started);
    ASSERT_TRUE(ChipWoken());
    ASSERT_TRUE(session.Waking()) << "the resume asked for during the start's handshake did not follow it";
    EXPECT_EQ(AwaitHandshake(session), DeviceSession::Handshaken::Resumed);
    EXPECT_FALSE(session.Waking());
    EXPECT_EQ(session.OnHandshakeDone(), DeviceSession::Handshaken::Stray) << "taken twice";
    HandsetView view = ReadHandset();
    EXPECT_TRUE(view.skypeLight);
    EXPECT_FALSE(view.callLight);
    session.Run();
    ASSERT_TRUE(WaitForHandset([](const HandsetView& seen) { return seen.initialised; }, 5000));
}

// A suspend may cut a handshake short: a resume during one has another run after it, one only.
TEST_F(DeviceSessionTest, AResumeDuringAHandshakeHasItRunOnceMore) {
    DeviceSession session;
    StartBase(session);
    session.SetCallIndicator(true);
    ASSERT_TRUE(session.Resume());
    EXPECT_FALSE(session.Resume());
    EXPECT_FALSE(session.Resume());
    EXPECT_EQ(AwaitHandshake(session), DeviceSession::Handshaken::Resumed);
    ASSERT_TRUE(session.Waking()) << "no second handshake";
    EXPECT_EQ(AwaitHandshake(session), DeviceSession::Handshaken::Resumed);
    EXPECT_FALSE(session.Waking()) << "a third handshake";
    EXPECT_TRUE(ReadHandset().callLight);
}

// Unplugged while it wakes, the base is released when the handshake ends, and a session that goes while
// a handshake runs waits for it.
TEST_F(DeviceSessionTest, ABaseThatGoesWhileItWakesIsReleasedAfterTheHandshake) {
    ChipSetBusBehaviour(BusAsleep);
    {
        DeviceSession session;
        ASSERT_EQ(session.Open(window), DeviceSession::Opening::Waking);
        EXPECT_EQ(session.OnRemoved(DectBaseProductId), DeviceSession::Removal::InService);
        EXPECT_EQ(AwaitHandshake(session), DeviceSession::Handshaken::Unplugged);
        EXPECT_FALSE(session.HasBase());
        EXPECT_FALSE(session.Resume());
    }
    ChipSetBusBehaviour(BusAsleep);
    {
        DeviceSession session;
        ASSERT_EQ(session.Open(window), DeviceSession::Opening::Waking);
    }
    EXPECT_TRUE(ChipWoken()) << "the session went before its handshake ended";
}

} // namespace
