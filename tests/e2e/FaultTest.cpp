// Faults a user's desk produces, each ending in a known state: the base unplugged in the middle of a ring,
// a call or a burst of keys; the system resuming while keys and frames are on the wire; no c:\temp; a
// foreign WM_QUIT; a second copy starting while the run ends; Skype going away and coming back; a contact
// list long enough to fill the command queue for minutes.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "app/res/resource.h"
#include "chip/PhoneLibrary.h"
#include "dect/PacketLink.h"
#include "tests/e2e/Scene.h"

namespace {

using e2e::Wait;

uint32_t Frames(uint8_t command) {
    return ReadHandset().framesByCommand[command];
}

// The titles of the visible dialog windows of a process other than its main window: its message boxes.
struct BoxSearch {
    DWORD pid;
    std::string titles;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    char title[256] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (owner == search->pid && IsWindowVisible(window) && std::strcmp(className, "#32770") == 0 &&
        std::strcmp(title, test::MainWindowTitle) != 0)
        search->titles += std::string("\"") + title + "\" ";
    return TRUE;
}

std::string MessageBoxes(DWORD pid) {
    BoxSearch search = {pid, ""};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.titles;
}

// The library operations of an orderly shutdown since call number `from`, in order.
std::string ShutdownOps(size_t from) {
    std::string text;
    auto calls = SimCalls();
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].op == OpDetachWindow || calls[i].op == OpCloseMixer || calls[i].op == OpCloseDevice)
            text += std::to_string(calls[i].op) + " ";
    return text;
}

std::string StoredCountryCode() {
    char text[64] = "";
    DWORD size = sizeof text;
    RegGetValueA(HKEY_CURRENT_USER, "SOFTWARE\\Skype\\Dect", "CountryCode", RRF_RT_REG_SZ, nullptr, text,
                 &size);
    return text;
}

class Faults : public e2e::Scene {
  protected:
    void StartServing() {
        ASSERT_TRUE(Start());
        ASSERT_TRUE(WaitAttached());
        ASSERT_TRUE(WaitForContacts("echo123"));
        ASSERT_TRUE(peer.Control("answer 300"));
    }
    // Rings call id from the caller and waits until the handset rings with it.
    void Ring(const std::string& id, const std::string& caller) {
        ASSERT_TRUE(peer.Control("ring " + id + " " + caller));
        ASSERT_TRUE(WaitForHandset(
            [&](const HandsetView& view) { return view.ringing && view.caller == caller; }, Wait))
            << "the handset did not ring with " << caller << "; commands: " << ShowCommands();
    }
    // A complete call after the fault: rings, is answered, goes in progress and ends.
    void ExpectACallWorks(const std::string& id) {
        Ring(id, "carol");
        ASSERT_TRUE(HandsetTakeLine());
        EXPECT_TRUE(WaitForCommand("set call " + id + " status inprogress")) << ShowCommands();
        EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return view.callLight; }, Wait));
        ASSERT_TRUE(peer.Control("hangup " + id));
        EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return !view.callLight; }, Wait));
    }
    // Keys pressed one at a time as fast as the base sends them, until stopped.
    void StartKeys(const char* keys) {
        pressing = true;
        presser = std::thread([this, keys] {
            size_t count = strlen(keys);
            for (size_t i = 0; pressing; Sleep(10))
                if (ReadHandset().pendingBytes == 0)
                    HandsetPressKey(static_cast<uint8_t>(keys[i++ % count]));
        });
    }
    void StopKeys() {
        pressing = false;
        if (presser.joinable())
            presser.join();
    }
    void TearDown() override {
        StopKeys();
        Scene::TearDown();
        if (moved) {
            // The folder the program made for its log goes; the one set aside comes back.
            test::DeleteFiles("c:\\temp\\*");
            RemoveDirectoryA("c:\\temp");
            MoveFileExA("c:\\temp-away", "c:\\temp", 0);
        }
    }

    // Serving, with a country code typed that only an orderly shutdown saves.
    void StartServingWithCountryCode(const char* typed) {
        StartServing();
        SetDlgItemTextA(program.MainWindow(), IDC_COUNTRY_CODE, typed);
        shutdownFrom = SimCalls().size();
    }
    // Everything an orderly shutdown leaves: the library detached and closed, the country code saved, the
    // tray icon gone, the base's channel idle.
    void ExpectOrderlyShutdown(const char* typed) {
        EXPECT_EQ(ShutdownOps(shutdownFrom), "17 32 1 ") << "detach, close mixer, close device";
        EXPECT_EQ(StoredCountryCode(), typed);
        EXPECT_EQ(e2e::TrayTipOfProgram(), "") << "the tray icon stayed";
    }

    size_t shutdownFrom = 0;
    bool moved = false;
    std::atomic<bool> pressing{false};
    std::thread presser;
};

// Unplugged while the call rings, while it is in progress, and while keys arrive: the ended call sends
// nothing more, neither to the handset once the base is back nor to Skype, and the next call works.
TEST_F(Faults, UnplugDuringARingACallAndAKeyBurstThenTheNextCallWorks) {
    StartServing();
    enum Moment { Ringing, InCall, KeyBurst };
    for (Moment moment : {Ringing, InCall, KeyBurst}) {
        SCOPED_TRACE("unplugged " + std::string(moment == Ringing  ? "while ringing"
                                                : moment == InCall ? "in a call"
                                                                   : "during a key burst"));
        std::string id = std::to_string(300 + moment);
        if (moment == KeyBurst) {
            StartKeys("#1234567890");
        } else {
            Ring(id, "alice");
        }
        if (moment == InCall) {
            ASSERT_TRUE(HandsetTakeLine());
            ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.callLight; }, Wait));
        }
        Sleep(300);
        uint32_t inits = Frames(CmdInit);
        ASSERT_TRUE(SimUnplug());
        StopKeys();
        if (moment != KeyBurst) {
            ASSERT_TRUE(peer.Control("hangup " + id));
        }
        Sleep(2500); // longer than a ring repeat
        size_t commandsBefore = Commands().size();
        ASSERT_TRUE(SimPlug());
        ASSERT_TRUE(WaitForFrames(CmdInit, inits + 1, Wait)) << "no start-up after plugging in";
        ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.skypeLight; }, Wait));
        uint32_t rings = Frames(CmdIncomingCall);
        Sleep(2500);
        EXPECT_EQ(Frames(CmdIncomingCall), rings) << "the ended call still rings the handset";
        for (const std::string& command : Commands(commandsBefore))
            EXPECT_EQ(command.find(" " + id + " "), std::string::npos)
                << "sent for the ended call: " << command;
        // A number left half entered is left with the handset's end key.
        Press("B");
        ExpectACallWorks(std::to_string(310 + moment));
    }
    EXPECT_EQ(ReadHandset().badFrames, 0u);
}

// Resume repeats the handshake while the handset sends keys and the program sends frames (the ring
// repeats, the contacts shown while browsing): no half frame reaches the base and no key is cut.
TEST_F(Faults, ResumeDuringAKeyBurstAndOutgoingFramesCutsNoFrame) {
    StartServing();
    Ring("320", "alice");
    StartKeys("22222");
    auto busBytes = [] { return WithSim([](SimState& state) { return state.chip.wireCount; }); };
    for (int resume = 0; resume < 4; ++resume) {
        uint32_t before = busBytes();
        PostMessageA(program.MainWindow(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
        EXPECT_TRUE(test::WaitUntil([&] { return busBytes() > before; }, Wait)) << "no handshake on resume";
        Sleep(700);
    }
    StopKeys();
    ASSERT_TRUE(peer.Control("hangup 320"));
    ASSERT_TRUE(WaitUntilBaseSent(Wait));
    HandsetView view = ReadHandset();
    EXPECT_EQ(view.badFrames, 0u) << "a frame reached the base cut";
    EXPECT_EQ(view.strayBytes, 0u);
    EXPECT_EQ(view.requestViolations, 0u);
    EXPECT_GE(view.framesByCommand[CmdIncomingCall], 2u);
    Press("B");
    ExpectACallWorks("321");
}

// Without c:\temp the program makes it for its log, says nothing about it, and serves calls as before.
TEST_F(Faults, NoTempFolderIsMadeForTheLogWithoutAnError) {
    ASSERT_TRUE(peer.Start());
    // The peer's log stays open under its new name; c:\temp comes back in TearDown.
    ASSERT_TRUE(MoveFileExA("c:\\temp", "c:\\temp-away", 0)) << GetLastError();
    moved = true;
    test::Process& process = program.Proc();
    ASSERT_TRUE(process.Start(test::BinDir() + "\\DectBridge.exe"));
    EXPECT_TRUE(WaitAttached()) << "the program did not serve without c:\\temp";
    Sleep(500);
    EXPECT_EQ(MessageBoxes(process.Id()), "") << "a message box came up";
    EXPECT_NE(program.TraceFile(), "") << "no log in the folder the program was to make";
    ASSERT_TRUE(peer.Control("ring 330 alice"));
    EXPECT_TRUE(
        WaitForHandset([](const HandsetView& view) { return view.ringing && view.caller == "alice"; }, Wait));
    ASSERT_TRUE(peer.Control("hangup 330"));
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return !view.ringing; }, Wait));
    EXPECT_TRUE(process.Running());
}

// A second copy started while the first shuts down: the first still shuts down in order, and the second
// either ends at once or runs alone and serves.
TEST_F(Faults, ASecondCopyDuringShutdownLeavesOneOrderlyEnd) {
    StartServingWithCountryCode("45");
    test::Program second;
    PostMessageA(program.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(second.Launch());
    ASSERT_EQ(program.Proc().Wait(10000), 0u) << "the first copy did not end in order";
    ExpectOrderlyShutdown("45");
    if (second.Proc().Wait(3000) == static_cast<DWORD>(STILL_ACTIVE)) {
        EXPECT_TRUE(WaitAttached()) << "the second copy runs but does not serve";
        EXPECT_TRUE(second.Exit()) << "the second copy did not end on request";
    }
}

// Any process can post WM_QUIT; the run still ends through the orderly shutdown.
TEST_F(Faults, AForeignQuitShutsDownInOrder) {
    StartServingWithCountryCode("41");
    PostMessageA(program.MainWindow(), WM_QUIT, 0, 0);
    ASSERT_EQ(program.Proc().Wait(10000), 0u) << "the program did not end, or not with 0";
    ExpectOrderlyShutdown("41");
}

// The system may end the process once WM_ENDSESSION returns, so the shutdown is done by then.
TEST_F(Faults, TheEndOfTheSessionShutsDownInOrder) {
    StartServingWithCountryCode("43");
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutA(program.MainWindow(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer),
              0);
    EXPECT_NE(answer, 0u) << "the program refused the end of the session";
    ASSERT_NE(SendMessageTimeoutA(program.MainWindow(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer),
              0);
    ExpectOrderlyShutdown("43");
    EXPECT_NE(program.Proc().Wait(10000), static_cast<DWORD>(STILL_ACTIVE));
}

// A Skype that goes away while nothing is queued is noticed within a pump step (its light goes off on the
// handset), and a new Skype is found: what was queued meanwhile leaves to it in order, and calls work.
TEST_F(Faults, ASkypeWindowThatGoesAwayIsNoticedAndANewOneIsFound) {
    StartServing();
    ASSERT_EQ(peer.Quit(), 0u);
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return !view.skypeLight; }, Wait))
        << "the program still takes the gone Skype for attached";
    Press("#12#");
    ASSERT_TRUE(peer.Start());
    ASSERT_TRUE(WaitAttached()) << "the new Skype was not found";
    EXPECT_TRUE(WaitForCommand("CALL 12")) << ShowCommands();
    // The new Skype's first call; ended once the program has taken it for its current call.
    EXPECT_TRUE(WaitForCommand("GET CALL 101 PARTNER_HANDLE")) << ShowCommands();
    Press("B");
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL 101 STATUS FINISHED")) << ShowCommands();
    ExpectACallWorks("340");
}

// SipLink (or Skype) ends in the middle of a call: the handset is released and the call light goes off at
// once. The next client numbers its calls from the start again: its call with the old id rings, the end
// key ends it there, and a number dialled is placed, not refused as a second call.
TEST_F(Faults, AClientEndingMidCallLeavesNoPhantomCall) {
    StartServing();
    Ring("101", "alice");
    ASSERT_TRUE(HandsetTakeLine());
    ASSERT_TRUE(WaitForCommand("set call 101 status inprogress")) << ShowCommands();
    ASSERT_TRUE(WaitForHandset([](const HandsetView& view) { return view.callLight; }, Wait));
    uint32_t releases = Frames(CmdRelease);
    ASSERT_EQ(peer.Quit(), 0u);
    EXPECT_TRUE(WaitForFrames(CmdRelease, releases + 1, Wait)) << "the handset was not released";
    EXPECT_TRUE(
        WaitForHandset([](const HandsetView& view) { return !view.callLight && !view.skypeLight; }, Wait))
        << "the call light stayed on";

    ASSERT_TRUE(peer.Start());
    ASSERT_TRUE(WaitAttached()) << "the next client was not found";
    Ring("101", "bob");
    ASSERT_TRUE(HandsetTakeLine());
    EXPECT_TRUE(WaitForCommand("set call 101 status inprogress")) << ShowCommands();
    ASSERT_TRUE(HandsetHangUp(6));
    EXPECT_TRUE(WaitForCommand("SET CALL 101 STATUS FINISHED")) << ShowCommands();
    EXPECT_TRUE(WaitForHandset([](const HandsetView& view) { return !view.callLight; }, Wait));
    Press("#12#");
    EXPECT_TRUE(WaitForCommand("GET CALL 102 PARTNER_HANDLE")) << "the call was refused: " << ShowCommands();
    Press("B");
    EXPECT_TRUE(WaitForCommand("SET CALL 102 STATUS FINISHED")) << ShowCommands();
    for (const std::string& sent : peer.Texts("SEND"))
        EXPECT_EQ(sent.rfind("ERROR", 0), std::string::npos)
            << "the client was sent a command it cannot take: " << sent << "; " << ShowCommands();
}

// A long contact list fills the queue with status queries; a call that rings meanwhile is still asked
// about at once, and one answer adds no more than its bound.
TEST_F(Faults, ALongContactListDelaysNoCall) {
    std::string names;
    for (int i = 0; i < 3000; ++i)
        names += (i ? ", u" : "u") + std::to_string(10000 + i);
    ASSERT_TRUE(peer.Start());
    ASSERT_TRUE(peer.Control("contacts " + names));
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(WaitAttached());
    ASSERT_TRUE(WaitForCommand("GET USER u10000 ONLINESTATUS", e2e::ContactsWait)) << ShowCommands();
    Ring("350", "alice");
    ASSERT_TRUE(HandsetTakeLine());
    EXPECT_TRUE(WaitForCommand("set call 350 status inprogress")) << "the answer waited behind the contacts";
    // A second call meanwhile is turned away at once too.
    ASSERT_TRUE(peer.Control("ring 351 bob"));
    EXPECT_TRUE(WaitForCommand("SET CALL 351 STATUS FINISHED")) << "the refusal waited behind the contacts";
    ASSERT_TRUE(peer.Control("hangup 350"));
    std::vector<std::string> all = Commands();
    EXPECT_LE(std::count_if(all.begin(), all.end(),
                            [](const std::string& command) { return command.rfind("GET USER ", 0) == 0; }),
              1000)
        << "one answer added more than its bound";
}

} // namespace
