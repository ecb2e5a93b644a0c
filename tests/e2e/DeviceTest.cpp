// The base coming and going under the running program: start-up, arrival, removal, resume, a silent base.
#include <algorithm>

#include "chip/PhoneLibrary.h"
#include "dect/DectBase.h"
#include "dect/PacketLink.h"
#include "tests/e2e/Scene.h"

namespace {

using e2e::DeviceText;
using e2e::TrayTipOfProgram;
using e2e::Wait;

// The phone library's notices of a device that arrived or was removed; lParam is the product id.
constexpr UINT WmPhoneArrived = 1424;
constexpr UINT WmPhoneRemoved = 1425;

// When the library last received operation op, from call number `from` on (0 when it did not).
DWORD LastCallTime(int op, size_t from = 0) {
    DWORD time = 0;
    auto calls = SimCalls();
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].op == op)
            time = calls[i].timeMs;
    return time;
}

size_t CountCalls(int op, size_t from = 0) {
    size_t count = 0;
    auto calls = SimCalls();
    for (size_t i = from; i < calls.size(); ++i)
        count += calls[i].op == op;
    return count;
}

std::string OpsSince(size_t from, std::initializer_list<int> only) {
    std::string text;
    auto calls = SimCalls();
    for (size_t i = from; i < calls.size(); ++i)
        for (int op : only)
            if (calls[i].op == op)
                text += std::to_string(op) + " ";
    return text;
}

uint32_t InitFrames() {
    return ReadHandset().framesByCommand[CmdInit];
}

class Device : public e2e::Scene {
  protected:
    // A call typed on the handset reaches Skype: the base is in service and attached.
    void ExpectServes(const std::string& number) {
        Press("#" + number + "#");
        EXPECT_TRUE(WaitForCommand("CALL " + number)) << "commands: " << ShowCommands();
        Press("B");
    }
};

TEST_F(Device, ABasePresentAtStartIsServedAndTheContactsAreAskedForFiveSecondsLater) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitAttached()) << "the Skype light did not come on";
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return view.initialised; }, Wait));
    // The lights come on as the handshake ends; the panel names the base once the rest of the start is done.
    EXPECT_TRUE(test::WaitUntil([&] { return DeviceText(program.MainWindow()) == "TRL-400"; }, Wait))
        << DeviceText(program.MainWindow());
    EXPECT_TRUE(test::WaitUntil([] { return TrayTipOfProgram() == "TRL-400 Found, Skype Online."; }, Wait))
        << "tray tip \"" << TrayTipOfProgram() << "\"";

    DWORD started = LastCallTime(OpOpenMixer);
    ASSERT_TRUE(WaitForCommand("SEARCH FRIENDS", e2e::ContactsWait));
    DWORD asked = GetTickCount() - started;
    // 5000 ms (the call bridge's timer, tested there), then at most one 200 ms pump step; a stalled program
    // or test adds a moment here, and takes none away.
    EXPECT_GE(asked, 4900u);
    EXPECT_LE(asked, 6200u) << "5000 ms, then at most one 200 ms pump step";
    ASSERT_TRUE(WaitForContacts("echo123"));
    ExpectServes("12");
    Sleep(1000);
    std::vector<std::string> all = Commands();
    EXPECT_EQ(std::count(all.begin(), all.end(), "SEARCH FRIENDS"), 1) << "asked again after the answer";
}

TEST_F(Device, ABasePluggedInLaterStartsThreeSecondsAfterItsArrival) {
    ASSERT_TRUE(Start([](SimState& state) { state.config.plugged = 0; }));
    EXPECT_EQ(DeviceText(program.MainWindow()), "Not found");
    EXPECT_EQ(TrayTipOfProgram().rfind("TRL-400 Not Found", 0), 0u) << TrayTipOfProgram();
    EXPECT_EQ(InitFrames(), 0u);

    size_t before = SimCalls().size();
    DWORD plugged = GetTickCount();
    ASSERT_TRUE(SimPlug());
    EXPECT_TRUE(
        test::WaitUntil([&] { return DeviceText(program.MainWindow()) == "Opening VOIP device..."; }, Wait));
    // Another product comes and goes meanwhile: only counted.
    Sleep(1000);
    ASSERT_TRUE(SimPost(WmPhoneArrived, 0, 0x4321));
    ASSERT_TRUE(SimPost(WmPhoneRemoved, 0, 0x4321));
    ASSERT_TRUE(WaitAttached());
    // 3000 ms after the arrival, by the program's own clock; a program stalled when the arrival or the timer
    // comes opens it later by as much, never earlier.
    DWORD opened = LastCallTime(OpOpenDevice, before) - plugged;
    EXPECT_GE(opened, 2900u);
    EXPECT_LE(opened, 4000u);
    EXPECT_EQ(CountCalls(OpOpenDevice, before), 1u);
    EXPECT_TRUE(test::WaitUntil([&] { return DeviceText(program.MainWindow()) == "TRL-400"; }, Wait))
        << DeviceText(program.MainWindow());

    // A second arrival of the served base only counts: no second start-up.
    ASSERT_TRUE(SimPost(WmPhoneArrived, 0, DectBaseProductId));
    Sleep(3500);
    EXPECT_EQ(CountCalls(OpOpenDevice, before), 1u);
    EXPECT_EQ(InitFrames(), 1u);
    ExpectServes("34");
}

TEST_F(Device, ARemovalWithinThreeSecondsOfArrivalLeavesNoBase) {
    ASSERT_TRUE(Start([](SimState& state) { state.config.plugged = 0; }));
    size_t before = SimCalls().size();
    ASSERT_TRUE(SimPlug());
    Sleep(1000);
    ASSERT_TRUE(SimUnplug());
    ASSERT_TRUE(test::WaitUntil([&] { return CountCalls(OpOpenDevice, before) == 1; }, 4000))
        << "the start-up timer did not run";
    Sleep(300);
    EXPECT_EQ(DeviceText(program.MainWindow()), "Not found");
    EXPECT_EQ(InitFrames(), 0u) << "a base was opened though none is attached";
    EXPECT_EQ(OpsSince(before, {OpSetDeviceName, OpOpenMixer}), "");
}

TEST_F(Device, UnplugInServiceTearsDownAndPluggingInAgainServes) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitAttached());
    ASSERT_TRUE(WaitForContacts("echo123"));
    size_t before = SimCalls().size();
    ASSERT_TRUE(SimUnplug());
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            return OpsSince(before, {OpCloseMixer, OpCloseDevice}) == "32 1 ";
        },
        Wait))
        << "mixer and device closes: " << OpsSince(before, {OpCloseMixer, OpCloseDevice});
    EXPECT_EQ(DeviceText(program.MainWindow()), "Not found");
    EXPECT_TRUE(test::WaitUntil([] { return TrayTipOfProgram() == "TRL-400 Not Found, Skype Online"; }, Wait))
        << "tray tip \"" << TrayTipOfProgram() << "\"";

    ASSERT_TRUE(SimPlug());
    ASSERT_TRUE(test::WaitUntil([] { return InitFrames() == 2; }, Wait)) << "no start-up after plugging in";
    EXPECT_TRUE(test::WaitUntil([] { return TrayTipOfProgram() == "TRL-400 Found, Skype Online."; }, Wait))
        << "tray tip \"" << TrayTipOfProgram() << "\"";
    EXPECT_TRUE(WaitAttached());
    ExpectServes("78");
    // The contacts outlived the base. The new start asks for them again 5 s later, and the answer adds
    // none twice: no contact is asked about again.
    Press("##");
    EXPECT_TRUE(WaitForDisplay("alice"));
    Press("B");
    auto searches = [&] {
        std::vector<std::string> all = Commands();
        return std::count(all.begin(), all.end(), "SEARCH FRIENDS");
    };
    ASSERT_TRUE(test::WaitUntil([&] { return searches() == 2; }, e2e::ContactsWait)) << ShowCommands();
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            std::vector<std::string> sent = peer.Texts("SEND");
            return std::count_if(sent.begin(), sent.end(),
                                 [](const std::string& text) { return text.rfind("USERS ", 0) == 0; }) == 2;
        },
        Wait))
        << "the second contact list was not sent";
    // A status query the answer caused would leave within a few pump steps.
    Sleep(1000);
    std::vector<std::string> all = Commands();
    EXPECT_EQ(searches(), 2) << ShowCommands();
    EXPECT_EQ(std::count(all.begin(), all.end(), "GET USER alice ONLINESTATUS"), 1) << ShowCommands();
}

TEST_F(Device, ResumeRepeatsTheHandshakeOnTheRunningLink) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitAttached());
    auto busBytes = [] { return WithSim([](SimState& state) { return state.chip.wireCount; }); };
    uint32_t before = busBytes();
    PostMessageA(program.MainWindow(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return busBytes() > before; }, Wait)) << "no handshake after resume";
    // The channel waits while the handshake holds the registers; keys sent meanwhile would be lost. The
    // panel names the base again when the handshake has ended.
    ASSERT_TRUE(test::WaitUntil([&] { return DeviceText(program.MainWindow()) == "TRL-400"; }, Wait))
        << DeviceText(program.MainWindow());
    ExpectServes("90");
    EXPECT_EQ(InitFrames(), 1u) << "the link was opened again";
}

TEST_F(Device, ABaseThatDoesNotAnswerItsHandshakeEndsTheProgram) {
    ASSERT_TRUE(peer.Start());
    WithSim([](SimState& state) { return state.chip.busBehaviour = BusAbsent; });
    ASSERT_TRUE(program.Launch());
    EXPECT_NE(program.Proc().Wait(10000), STILL_ACTIVE) << "the program runs on without its base";
    EXPECT_EQ(OpsSince(0, {OpSetDeviceName, OpOpenMixer}), "");
}

// The resume handshake sets the indicator lines off; they show the link and the call again after it.
TEST_F(Device, AfterResumeTheLightsShowSkypeAndTheCallAgain) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitAttached());
    ASSERT_TRUE(peer.Control("ring 71 alice"));
    ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.ringing; }, Wait));
    ASSERT_TRUE(HandsetTakeLine());
    ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.callLight; }, Wait));
    auto busBytes = [] { return WithSim([](SimState& state) { return state.chip.wireCount; }); };
    uint32_t before = busBytes();
    SendMessageA(program.MainWindow(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    // The base wakes beside the window, which names it again once it is awake.
    ASSERT_TRUE(test::WaitUntil([&] { return busBytes() > before; }, Wait)) << "no handshake after resume";
    ASSERT_TRUE(test::WaitUntil([&] { return DeviceText(program.MainWindow()) == "TRL-400"; }, Wait))
        << DeviceText(program.MainWindow());
    HandsetView view = ReadHandset();
    EXPECT_TRUE(view.skypeLight) << "the Skype light stayed off though Skype is attached";
    EXPECT_TRUE(view.callLight) << "the call light stayed off during the call";
}

// A base present at start-up comes without an arrival notice; it is shown as found all the same.
TEST_F(Device, ABasePresentAtStartShowsAsFoundWhenSkypeAttachesLater) {
    ASSERT_TRUE(peer.Start("/attach none") && program.Start());
    EXPECT_TRUE(test::WaitUntil([] { return TrayTipOfProgram() == "TRL-400 Found, Skype Offline."; }, Wait))
        << "tray tip \"" << TrayTipOfProgram() << "\"";
    ASSERT_TRUE(peer.Control("reply 0"));
    ASSERT_TRUE(WaitAttached());
    EXPECT_TRUE(test::WaitUntil([] { return TrayTipOfProgram() == "TRL-400 Found, Skype Online."; }, Wait))
        << "tray tip \"" << TrayTipOfProgram() << "\"";
}

} // namespace
