// Bringing the base into service, the handset event thread, its teardown at unplug, and the timers, with
// the main window in the test process over the simulated library and base.
#include <gtest/gtest.h>

#include <thread>

#include "app/res/resource.h"
#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"
#include "dect/PacketLink.h"
#include "sim/control/ChipControl.h"
#include "sim/control/HandsetControl.h"
#include "tests/bridge/BridgeDialog.h"
#include "tests/common/TestSupport.h"

namespace {

using bridge_test::BridgeDialog;
using bridge_test::CallsSince;
using bridge_test::Describe;
using bridge_test::Pump;
using bridge_test::PumpUntil;
using bridge_test::TimerArmed;
using Strings = std::vector<std::string>;

constexpr DWORD Wait = 5000;

std::string PanelText(HWND dialog) {
    char text[256] = "";
    GetDlgItemTextA(dialog, IDC_DEVICE_INFO, text, sizeof text);
    return text;
}

std::string Ops(const std::vector<SimCall>& calls) {
    std::string text;
    for (const SimCall& call : calls)
        text += std::to_string(call.op) + (call.text[0] ? std::string(":") + call.text : "") + " ";
    return text;
}

class DeviceStartup : public BridgeDialog {
  protected:
    bool InService() const {
        return dialog->Session().HasBase() && dialog->Session().EventThread() != nullptr;
    }
    // The key is pressed once the base is awake and the window's reader reads its channel: a base just
    // plugged in sends by the clock alone until the program reads it (sim/README.md), as a real one does.
    bool KeyReaches(BYTE key) {
        bool reading = PumpUntil(
            [&] {
                return InService() && !dialog->Session().Waking() &&
                       WithSim([](SimState& state) { return state.chip.programReadUs != 0; });
            },
            Wait);
        EXPECT_TRUE(reading) << "the base was not served";
        dialog->Bridge().HandleHandsetKey(0); // a code that means nothing
        return HandsetPressKey(key) && PumpUntil([&] { return dialog->Bridge().LastKey() == key; }, Wait);
    }
};

TEST_F(DeviceStartup, ABasePresentAtAttachIsBroughtIntoService) {
    Make();
    ASSERT_TRUE(InService());
    EXPECT_EQ(dialog->Session().ProductId(), DectBaseProductId);
    EXPECT_EQ(GetThreadPriority(dialog->Session().EventThread()), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(Ops(CallsSince(0, {OpOpenDevice, OpSetDeviceName, OpOpenMixer})),
              "0 20:USB Internet Phone By 31:USB ");
    EXPECT_TRUE(dialog->Session().MixerOpen());
    EXPECT_EQ(PanelText(dialog->Handle()), "TRL-400");
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return view.initialised; }, Wait))
        << "the base never saw the link's first frame";
    EXPECT_TRUE(KeyReaches('5')) << "a handset key did not reach the window";
    EXPECT_TRUE(TimerArmed(dialog->Handle(), TIMER_SKYPE_PUMP));
    EXPECT_TRUE(TimerArmed(dialog->Handle(), TIMER_CONTACTS));
}

TEST_F(DeviceStartup, TheShortDeviceNameIsTriedWhenTheLongOneFails) {
    Make([](SimState& state) { state.config.setNameAnswer = 0; });
    EXPECT_EQ(Ops(CallsSince(0, {OpSetDeviceName})), "20:USB Internet Phone By 20:USB ");
    EXPECT_TRUE(InService());

    TearDown();
    Make([](SimState& state) {
        state.config.setNameAnswer = 0;
        state.config.setShortNameAnswer = 0;
    });
    EXPECT_EQ(Ops(CallsSince(0, {OpSetDeviceName})), "20:USB Internet Phone By 20:USB ");
    EXPECT_TRUE(InService()) << "start-up goes on when neither name is taken";
}

TEST_F(DeviceStartup, AMixerThatDoesNotOpenIsReportedAndStartUpGoesOn) {
    std::string caption, text;
    std::thread user([&] {
        HWND box = test::WaitForWindow(AppMessageCaption, Wait, "#32770");
        if (!box)
            return;
        caption = AppMessageCaption;
        test::AnswerMessageBox(GetCurrentProcessId(), IDOK, Wait, &text);
    });
    Make([](SimState& state) { state.config.mixerAnswer = 0; });
    user.join();
    EXPECT_EQ(caption, "DectBridge") << "no message box captioned DectBridge";
    EXPECT_EQ(text,
              "Cannot open mixer device for volume control. Please make sure the device name is correct.");
    EXPECT_FALSE(dialog->Session().MixerOpen());
    EXPECT_TRUE(InService());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog->Handle(), IDC_SPEAKER_LEVEL)))
        << "audio controls stay disabled";
}

// The user unplugs the base while a box of the start-up is up; the box is answered once the base is
// released.
void UnplugWhileBoxIsUp(const char* caption, std::unique_ptr<MainDialog>& dialog, bool& released) {
    if (!test::WaitForWindow(caption, Wait, "#32770"))
        return;
    SimUnplug();
    released = test::WaitUntil([&] { return dialog && !dialog->Session().HasBase(); }, Wait);
    bridge_test::MarkSkypeInstalled(); // the next pump step must not ask again
    test::AnswerMessageBox(GetCurrentProcessId(), IDOK, Wait);
}

TEST_F(DeviceStartup, ABaseUnpluggedWhileTheMixerBoxIsUpIsNotShownAfterwards) {
    bool released = false;
    std::thread user([&] { UnplugWhileBoxIsUp(AppMessageCaption, dialog, released); });
    Make([](SimState& state) { state.config.mixerAnswer = 0; });
    user.join();
    ASSERT_TRUE(released) << "the base was not released while the box was up";
    EXPECT_FALSE(dialog->Session().HasBase());
    EXPECT_EQ(PanelText(dialog->Handle()), "Not found");
}

TEST_F(DeviceStartup, ABaseUnpluggedWhileSkypeIsReportedMissingGetsNoMixer) {
    skypeInstalled = false;
    bool released = false;
    std::thread user([&] { UnplugWhileBoxIsUp("Telvane", dialog, released); });
    Make();
    user.join();
    ASSERT_TRUE(released) << "the base was not released while the box was up";
    EXPECT_FALSE(dialog->Session().HasBase());
    EXPECT_FALSE(dialog->Session().MixerOpen());
    std::string ops = Ops(CallsSince(0, {OpOpenMixer, OpCloseMixer, OpCloseDevice}));
    EXPECT_EQ(ops, "32 1 ") << "a mixer was opened for the released base";
    EXPECT_EQ(PanelText(dialog->Handle()), "Not found");
}

TEST_F(DeviceStartup, AnotherProductIsNotServed) {
    Make([](SimState& state) { state.config.productId = 0x1234; });
    EXPECT_FALSE(dialog->Session().HasBase());
    EXPECT_EQ(dialog->Session().EventThread(), nullptr);
    EXPECT_EQ(dialog->Session().ProductId(), 0x1234u);
    EXPECT_EQ(PanelText(dialog->Handle()), "Not found");
    EXPECT_EQ(Ops(CallsSince(0, {OpSetDeviceName, OpOpenMixer})), "") << "no naming, no mixer";
    EXPECT_FALSE(TimerArmed(dialog->Handle(), TIMER_SKYPE_PUMP));
    EXPECT_FALSE(TimerArmed(dialog->Handle(), TIMER_CONTACTS));
    EXPECT_FALSE(dialog->StartDevice());
}

TEST_F(DeviceStartup, StartingAgainWhileInServiceChangesNothing) {
    Make();
    ASSERT_TRUE(InService());
    HANDLE thread = dialog->Session().EventThread();
    size_t before = SimCalls().size();
    KillTimer(dialog->Handle(), TIMER_CONTACTS);
    EXPECT_TRUE(dialog->StartDevice());
    EXPECT_EQ(dialog->Session().EventThread(), thread);
    EXPECT_EQ(Describe(CallsSince(before)), "(no calls)");
    EXPECT_FALSE(TimerArmed(dialog->Handle(), TIMER_CONTACTS)) << "timers are not armed again";
}

TEST_F(DeviceStartup, ABaseThatDoesNotAnswerEndsTheWindow) {
    Make([](SimState& state) { state.chip.busBehaviour = BusAbsent; });
    EXPECT_TRUE(dialog->Ended());
    EXPECT_EQ(dialog->Result(), -1);
    EXPECT_EQ(dialog->Session().EventThread(), nullptr);
    EXPECT_EQ(Ops(CallsSince(0, {OpSetDeviceName, OpOpenMixer})), "");
}

TEST_F(DeviceStartup, ArrivalsAndRemovalsAreCountedAndOnlyTheFirstArrivalIsServed) {
    Make([](SimState& state) { state.config.plugged = 0; });
    ASSERT_FALSE(dialog->Session().HasBase());
    size_t before = SimCalls().size();
    DWORD plugged = GetTickCount();
    ASSERT_TRUE(SimPlug());
    ASSERT_TRUE(PumpUntil([&] { return dialog->Session().ProductId() != 0; }, Wait));
    EXPECT_EQ(PanelText(dialog->Handle()), "Opening VOIP device...");

    ASSERT_TRUE(SimPost(WM_PHONE_ARRIVED, 0, 0x4321));
    ASSERT_TRUE(SimPost(WM_PHONE_REMOVED, 0, 0x4321));
    ASSERT_TRUE(SimPost(WM_PHONE_ARRIVED, 0, 0x4321));
    ASSERT_TRUE(PumpUntil([&] { return dialog->Session().DevicesPresent() == 2; }, Wait));
    EXPECT_EQ(dialog->Session().ProductId(), DectBaseProductId) << "a second product is only counted";

    ASSERT_TRUE(PumpUntil([&] { return InService(); }, 4000)) << "timer 2 did not start the base";
    // Timer 2 opens the device 3000 ms after the arrival; a stall of this thread when the arrival or the
    // timer comes makes it later by as much, never earlier.
    std::vector<SimCall> opens = CallsSince(before, {OpOpenDevice});
    ASSERT_EQ(opens.size(), 1u) << Describe(CallsSince(before));
    DWORD started = opens[0].timeMs - plugged;
    EXPECT_GE(started, 2900u);
    EXPECT_LE(started, 4000u);
    EXPECT_TRUE(KeyReaches('7'));
}

TEST_F(DeviceStartup, RemovalWithinTheStartDelayLeavesNoDevice) {
    Make([](SimState& state) { state.config.plugged = 0; });
    ASSERT_TRUE(SimPlug());
    ASSERT_TRUE(PumpUntil([&] { return dialog->Session().ProductId() != 0; }, Wait));
    size_t before = SimCalls().size();
    ASSERT_TRUE(SimUnplug());
    ASSERT_TRUE(PumpUntil([&] { return dialog->Session().ProductId() == 0; }, Wait));
    // Timer 2 still fires; the library then reports no product.
    ASSERT_TRUE(PumpUntil([&] { return !CallsSince(before, {OpOpenDevice}).empty(); }, 4000))
        << "timer 2 did not run the start-up";
    EXPECT_FALSE(dialog->Session().HasBase());
    EXPECT_EQ(dialog->Session().ProductId(), 0u);
    EXPECT_EQ(dialog->Session().DevicesPresent(), 0);
    EXPECT_EQ(PanelText(dialog->Handle()), "Not found");
}

TEST_F(DeviceStartup, UnplugTearsTheBaseDownAndPluggingInStartsItAgain) {
    Make();
    ASSERT_TRUE(InService());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        HANDLE thread = nullptr;
        DuplicateHandle(GetCurrentProcess(), dialog->Session().EventThread(), GetCurrentProcess(), &thread, 0,
                        FALSE, DUPLICATE_SAME_ACCESS);
        size_t before = SimCalls().size();
        ASSERT_TRUE(SimUnplug());
        ASSERT_TRUE(PumpUntil([&] { return !dialog->Session().HasBase(); }, Wait)) << "no teardown";
        EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the event thread still runs";
        CloseHandle(thread);
        EXPECT_EQ(dialog->Session().EventThread(), nullptr) << "the ended thread's handle is kept";
        EXPECT_EQ(Ops(CallsSince(before, {OpCloseMixer, OpCloseDevice})), "32 1 ");
        EXPECT_FALSE(dialog->Session().MixerOpen());
        EXPECT_EQ(dialog->Session().ProductId(), 0u);
        EXPECT_EQ(dialog->Session().DevicesPresent(), 0) << "the base present at start counts as one";
        EXPECT_EQ(PanelText(dialog->Handle()), "Not found");

        ASSERT_TRUE(SimPlug());
        ASSERT_TRUE(PumpUntil([&] { return InService(); }, 4000)) << "no start-up after plugging in";
        EXPECT_EQ(dialog->Session().DevicesPresent(), 1);
        EXPECT_TRUE(KeyReaches('3'));
    }
}

TEST_F(DeviceStartup, AStrayGoneMessageDoesNotTearTheBaseDown) {
    Make();
    ASSERT_TRUE(InService());
    PostMessageA(dialog->Handle(), WM_HANDSET_EVENT, HANDSET_GONE, 0);
    Pump(100);
    EXPECT_TRUE(InService());
    EXPECT_TRUE(KeyReaches('9'));
}

// A removal notice with product 0 while the base is torn down must not end the next base's thread.
TEST_F(DeviceStartup, ARemovalNoticeDuringTeardownDoesNotReachTheNextBase) {
    Make();
    ASSERT_TRUE(InService());
    WithSim([](SimState& state) { return state.config.plugged = 0; });
    SendMessageA(dialog->Handle(), WM_PHONE_REMOVED, 0, DectBaseProductId);
    Sleep(100); // the thread takes the notice and ends; its message waits in the queue
    SendMessageA(dialog->Handle(), WM_PHONE_REMOVED, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !dialog->Session().HasBase(); }, Wait));

    ASSERT_TRUE(SimPlug());
    ASSERT_TRUE(PumpUntil([&] { return InService(); }, 4000));
    Pump(100);
    EXPECT_TRUE(InService()) << "the new base was torn down by an old notice";
    EXPECT_TRUE(KeyReaches('1'));
}

// Plugged in again before the base before was torn down: the new base starts once the old one has gone,
// instead of the start-up taking the old one for a base in service.
TEST_F(DeviceStartup, APlugInDuringTheTeardownStartsTheNewBaseAfterIt) {
    Make();
    ASSERT_TRUE(InService());
    SendMessageA(dialog->Handle(), WM_PHONE_REMOVED, 0, DectBaseProductId);
    SendMessageA(dialog->Handle(), WM_PHONE_ARRIVED, 0, DectBaseProductId);
    EXPECT_FALSE(dialog->StartDevice()) << "the base being torn down counted as in service";
    ASSERT_TRUE(PumpUntil([&] { return dialog->Session().InService() && !dialog->Session().Waking(); }, Wait))
        << "no new base";
    EXPECT_TRUE(KeyReaches('6'));
}

TEST_F(DeviceStartup, HandsetEventsArriveInOrder) {
    Make();
    ASSERT_TRUE(InService());
    for (char key : std::string("#0207"))
        ASSERT_TRUE(HandsetPressKey(static_cast<uint8_t>(key)));
    ASSERT_TRUE(PumpUntil([&] { return dialog->Bridge().DialString() == "0207"; }, Wait))
        << dialog->Bridge().DialString();
    EXPECT_EQ(dialog->Bridge().Phase(), HandsetPhase::EnteringNumber);

    ASSERT_TRUE(HandsetHangUp(7));
    ASSERT_TRUE(PumpUntil([&] { return dialog->Bridge().LastKey() == 'B'; }, Wait));
    dialog->Bridge().HandleSkypeNotification("CALL 71 STATUS RINGING");
    ASSERT_TRUE(HandsetTakeLine());
    ASSERT_TRUE(PumpUntil([&] { return dialog->Bridge().LastKey() == 'C'; }, Wait));
    EXPECT_EQ(Commands(), (Strings{"GET CALL 71 PARTNER_HANDLE", "GET CALL 71 PARTNER_DISPNAME", "set call 71 status inprogress"}))
        << CommandText();
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return view.lastReleaseAck == 7; }, Wait))
        << "the release was not acknowledged with its own byte";
}

TEST_F(DeviceStartup, ShutdownStopsTheEventThread) {
    Make();
    ASSERT_TRUE(InService());
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), dialog->Session().EventThread(), GetCurrentProcess(), &thread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    dialog->Shutdown();
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(dialog->Session().EventThread(), nullptr);
    EXPECT_FALSE(dialog->Session().HasBase());
}

TEST_F(DeviceStartup, ResumeRepeatsTheHandshakeOnTheSameLink) {
    Make();
    ASSERT_TRUE(InService());
    auto busBytes = [] { return WithSim([](SimState& state) { return state.chip.wireCount; }); };
    uint32_t before = busBytes();
    SendMessageA(dialog->Handle(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_EQ(busBytes(), before) << "suspending is no resume";
    for (WPARAM resume : {PBT_APMRESUMESUSPEND, PBT_APMRESUMECRITICAL}) {
        SendMessageA(dialog->Handle(), WM_POWERBROADCAST, resume, 0);
        EXPECT_EQ(PanelText(dialog->Handle()), "Opening VOIP device...") << "the window waited for the base";
        ASSERT_TRUE(PumpUntil([&] { return !dialog->Session().Waking(); }, Wait))
            << "the handshake never ended";
        EXPECT_GT(busBytes(), before) << "no handshake on resume " << resume;
        EXPECT_EQ(PanelText(dialog->Handle()), "TRL-400");
        before = busBytes();
    }
    Pump(50);
    EXPECT_EQ(ReadHandset().framesByCommand[CmdInit], 1u) << "a second link was opened";
    EXPECT_TRUE(KeyReaches('4'));
}

// The base wakes while the window goes on, so the user may be typing a country code meanwhile: neither a
// start nor a resume puts the saved one back over it.
TEST_F(DeviceStartup, ACountryCodeTypedWhileTheBaseWakesIsKept) {
    auto countryCode = [&] {
        char text[64] = "";
        GetDlgItemTextA(dialog->Handle(), IDC_COUNTRY_CODE, text, sizeof text);
        return std::string(text);
    };
    Make([](SimState& state) { state.config.plugged = 0; });
    ASSERT_TRUE(SimPlug());
    ChipSetBusBehaviour(BusAsleep);
    ASSERT_TRUE(dialog->StartDevice());
    ASSERT_TRUE(dialog->Session().Waking());
    SetDlgItemTextA(dialog->Handle(), IDC_COUNTRY_CODE, "0044");
    ASSERT_TRUE(PumpUntil([&] { return !dialog->Session().Waking(); }, Wait)) << "the handshake never ended";
    ASSERT_TRUE(InService());
    EXPECT_EQ(countryCode(), "0044") << "the start put the saved country code back";

    ChipSetBusBehaviour(BusAsleep);
    SendMessageA(dialog->Handle(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    SetDlgItemTextA(dialog->Handle(), IDC_COUNTRY_CODE, "0033");
    ASSERT_TRUE(PumpUntil([&] { return !dialog->Session().Waking(); }, Wait)) << "the handshake never ended";
    EXPECT_EQ(countryCode(), "0033") << "the resume put the saved country code back";
    EXPECT_EQ(PanelText(dialog->Handle()), "TRL-400");
}

// The list is asked for at every expiry, so that contacts added later arrive; a request Skype has not
// taken yet is replaced rather than repeated.
TEST_F(DeviceStartup, TheContactTimerAsksAtEveryExpiryAndRunsOn) {
    Make([](SimState& state) { state.config.plugged = 0; });
    HWND window = dialog->Handle();
    dialog->OnTimer(TIMER_CONTACTS);
    EXPECT_EQ(Commands(), Strings{"SEARCH FRIENDS"}) << CommandText();
    EXPECT_TRUE(TimerArmed(window, TIMER_CONTACTS)) << "the refresh stopped";

    dialog->Bridge().HandleSkypeNotification("USERS alice");
    EXPECT_TRUE(TimerArmed(window, TIMER_CONTACTS)) << "the answer starts the window's timer 6";
    dialog->OnTimer(TIMER_CONTACTS);
    EXPECT_EQ(Commands(), (Strings{"GET USER alice ONLINESTATUS", "SEARCH FRIENDS"})) << CommandText();
    EXPECT_TRUE(TimerArmed(window, TIMER_CONTACTS));
}

TEST_F(DeviceStartup, EachTimerIsKilledOnEntryAndOnlyThePumpRearmsItself) {
    Make([](SimState& state) { state.config.plugged = 0; });
    HWND window = dialog->Handle();
    for (UINT_PTR id : {TIMER_START_DEVICE, TIMER_SKYPE_PUMP, TIMER_RING, TIMER_RELEASE}) {
        SetTimer(window, id, 100000, nullptr);
        dialog->OnTimer(id);
        EXPECT_EQ(TimerArmed(window, id), id == TIMER_SKYPE_PUMP) << "timer " << id;
    }
}

} // namespace
