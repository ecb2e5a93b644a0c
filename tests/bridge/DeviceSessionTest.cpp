// The device session on its own, over the simulated library and base: its thread's lifetime and the
// lights across a resume.
#include <gtest/gtest.h>
#include <windows.h>

#include "bridge/DeviceSession.h"
#include "chip/PhoneLibrary.h"
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
    HWND window = nullptr;
};

TEST_F(DeviceSessionTest, GoingAwayInServiceStopsTheEventThreadFirst) {
    HANDLE thread = nullptr;
    {
        DeviceSession session;
        ASSERT_EQ(session.Open(), DeviceSession::Opening::Opened);
        session.Run(window);
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
    ASSERT_EQ(session.Open(), DeviceSession::Opening::Opened);
    session.Run(window);
    for (bool skype : {false, true}) {
        for (bool call : {false, true}) {
            session.SetSkypeIndicator(skype);
            session.SetCallIndicator(call);
            session.Resume();
            HandsetView view = ReadHandset();
            EXPECT_EQ(view.skypeLight, skype) << "Skype " << skype << ", call " << call;
            EXPECT_EQ(view.callLight, call) << "Skype " << skype << ", call " << call;
        }
    }
    session.StopThread();
    session.Close();
}

} // namespace
