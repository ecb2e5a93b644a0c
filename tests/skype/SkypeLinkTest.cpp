// Discovery, attach and the command queue of the Skype link, against the real Skype API peer program.
#include <thread>

#include "tests/skype/LinkFixture.h"

namespace skype_test {
namespace {

class SkypeLinkTest : public LinkFixture {};

TEST_F(SkypeLinkTest, AttachesThroughTheDiscoverBroadcast) {
    ASSERT_TRUE(peer.Start());
    // Before the first discovery no message counts as an attach reply, not even message number 0.
    UINT attach = RegisterWindowMessageA("SkypeControlAPIAttach");
    EXPECT_FALSE(link.IsAttachMessage(attach));
    EXPECT_FALSE(link.IsAttachMessage(0));
    SendMessageA(window, attach, reinterpret_cast<WPARAM>(peer.Api()), 0);
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(TakeShown(), Strings{});

    EXPECT_TRUE(link.DiscoverSkype()) << "the broadcast was not delivered";
    ASSERT_TRUE(peer.WaitForLine("DISCOVER", std::to_string(reinterpret_cast<uintptr_t>(window))))
        << "the peer saw no discover broadcast carrying the window";
    ASSERT_TRUE(test::WaitUntil([&] { return link.SkypeWindow() == peer.Api(); }, 5000));
    EXPECT_TRUE(link.IsAttachMessage(attach));
    EXPECT_EQ(TakeShown(), Strings{"up"});
    EXPECT_NE(TraceText().find("\tSkype Connected\r\n"), std::string::npos) << TraceText();

    // Attached, a discovery does nothing at all.
    size_t discovers = peer.Lines("DISCOVER").size();
    EXPECT_TRUE(link.DiscoverSkype());
    Step();
    EXPECT_EQ(peer.Lines("DISCOVER").size(), discovers);
}

TEST_F(SkypeLinkTest, QueueLeavesOneCommandPerStepOldestFirstSkippingEmptyOnes) {
    ASSERT_TRUE(peer.Start("/attach none"));
    link.QueueSkypeCommand("GET USERSTATUS");
    Step(); // discovers; the peer does not answer
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(Queue(), Strings{"GET USERSTATUS"}) << "a command waits while not attached";
    ASSERT_TRUE(peer.Control("reply 0"));
    ASSERT_TRUE(test::WaitUntil([&] { return link.SkypeWindow() == peer.Api(); }, 5000));

    // Commands whose answers queue nothing further.
    link.QueueSkypeCommand("GET USER alice ONLINESTATUS");
    link.QueueSkypeCommand("");
    link.QueueSkypeCommand("SET CALL 5 DTMF 1");
    Strings expected = {"GET USERSTATUS", "GET USER alice ONLINESTATUS", "SET CALL 5 DTMF 1"};
    size_t sentAfter[] = {1, 2, 2, 3, 3};
    for (size_t step = 0; step < 5; ++step) {
        Step();
        Strings received = peer.Texts("RECV");
        EXPECT_EQ(received, Strings(expected.begin(), expected.begin() + sentAfter[step]))
            << "after step " << step + 1 << ": " << Describe(received);
    }
    EXPECT_TRUE(Queue().empty()) << Describe(Queue());
    // Each text arrived with its terminating zero byte and nothing else (the peer notes any other size).
    for (const std::string& text : peer.Texts("RECV"))
        EXPECT_EQ(text.find("(cbData"), std::string::npos) << text;
}

TEST_F(SkypeLinkTest, RefusedCommandIsLostAndTheLinkIsFoundAgain) {
    ASSERT_TRUE(StartAndAttach());
    // The step shows the link down before it discovers; the attach shows it up.
    EXPECT_EQ(TakeShown(), (Strings{"down", "up"}));
    ASSERT_TRUE(peer.Control("refuse 1"));
    // The first finds the link idle and leaves at once; the others queue behind its refusal.
    for (const char* command :
         {"GET USER a ONLINESTATUS", "GET USER b ONLINESTATUS", "GET USER c ONLINESTATUS"})
        link.QueueSkypeCommand(command);
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(TakeShown(), Strings{"down"});
    EXPECT_NE(TraceText().find("\tDisconnect from Skype...\r\n"), std::string::npos) << TraceText();
    EXPECT_EQ(Queue(), (Strings{"GET USER b ONLINESTATUS", "GET USER c ONLINESTATUS"}));

    Step(); // not attached: shows the link down and discovers again
    ASSERT_TRUE(test::WaitUntil([&] { return link.SkypeWindow() == peer.Api(); }, 5000));
    EXPECT_EQ(peer.Lines("DISCOVER").size(), 2u);
    EXPECT_EQ(TakeShown(), (Strings{"down", "up"}));
    Step();
    Step();
    EXPECT_EQ(peer.Texts("REFUSED"), Strings{"GET USER a ONLINESTATUS"});
    EXPECT_EQ(peer.Texts("RECV"), (Strings{"GET USER b ONLINESTATUS", "GET USER c ONLINESTATUS"}))
        << Describe(peer.Texts("RECV"));
}

TEST_F(SkypeLinkTest, AttachStatusesOtherThanSuccessAreTracedAndChangeNothing) {
    // The peer answers the discoveries with these statuses, one each.
    ASSERT_TRUE(peer.Start("/attach \"1 2 3 32769 7\""));
    for (int step = 0; step < 5; ++step)
        Step();
    EXPECT_EQ(peer.Texts("ATTACH"), (Strings{"1", "2", "3", "32769", "7"}));
    EXPECT_FALSE(link.Attached());
    EXPECT_EQ(TakeShown(),
              (Strings{"down", "down", "down", "down", "down", "down", "down", "down", "down", "down"}))
        << "each step and each reply shows the link down";
    std::string trace = TraceText();
    size_t pending = trace.find("\t!!! Pending authorization\r\n");
    size_t refused = trace.find("\t!!! Connection refused\r\n");
    size_t unavailable = trace.find("\t!!! Skype API not available\r\n");
    size_t available = trace.find("\t!!! Try to connect Skype now (API available)\r\n");
    EXPECT_TRUE(pending < refused && refused < unavailable && unavailable < available &&
                available != trace.npos)
        << trace;
    EXPECT_EQ(trace.find("Skype Connected"), std::string::npos) << trace;

    ASSERT_TRUE(peer.Control("reply 0"));
    ASSERT_TRUE(test::WaitUntil([&] { return link.SkypeWindow() == peer.Api(); }, 5000));
    EXPECT_EQ(TakeShown(), Strings{"up"});
    // A refusal after a successful attach leaves the link as it was.
    ASSERT_TRUE(peer.Control("reply 2"));
    ASSERT_TRUE(peer.WaitForLine("ATTACH", "2"));
    test::WaitUntil([] { return false; }, 100);
    EXPECT_EQ(link.SkypeWindow(), peer.Api());
    EXPECT_EQ(TakeShown(), Strings{"up"});
    // Success naming no window leaves the link down.
    ASSERT_TRUE(peer.Control("reply 0 0"));
    ASSERT_TRUE(test::WaitUntil([&] { return !link.Attached(); }, 5000));
    EXPECT_EQ(TakeShown(), Strings{"down"});
}

TEST_F(SkypeLinkTest, MissingSkypeIsReportedInABoxWithoutOwnerAndNothingIsBroadcast) {
    ASSERT_TRUE(peer.Start("/noregistry"));
    SetSkypeKey(false);
    bool boxShown = false;
    std::string text;
    HWND owner = nullptr;
    std::thread user([&] {
        HWND box = nullptr;
        test::WaitUntil([&] { return (box = FindWindowA("#32770", "Telvane")) != nullptr; }, 5000);
        if (!box)
            return;
        char buffer[128] = "";
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        boxShown = true;
        owner = GetWindow(box, GW_OWNER);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    bool found = link.DiscoverSkype();
    user.join();
    SetSkypeKey(true);
    EXPECT_FALSE(found);
    ASSERT_TRUE(boxShown) << "no message box captioned Telvane";
    EXPECT_EQ(text, "Cannot detect Skype !!!");
    EXPECT_EQ(owner, nullptr);
    Step();
    EXPECT_EQ(peer.Lines("DISCOVER").size(), 1u) << "the first discovery broadcast nothing";
    EXPECT_EQ(link.SkypeWindow(), peer.Api()) << "with the key back, the next step finds Skype";
}

// A window whose thread has stopped answering must not hold up the main window's discovery for long.
TEST_F(SkypeLinkTest, UnresponsiveWindowDoesNotFreezeDiscovery) {
    ASSERT_TRUE(peer.Start());
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread stuck([created] {
        HWND window = CreateWindowExA(0, "STATIC", "stuck", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                      nullptr, nullptr);
        SetEvent(created);
        Sleep(4000); // owns a top-level window and reads no messages
        DestroyWindow(window);
    });
    WaitForSingleObject(created, 5000);
    DWORD start = GetTickCount();
    link.DiscoverSkype();
    DWORD took = GetTickCount() - start;
    stuck.join();
    CloseHandle(created);
    EXPECT_LT(took, 2500u) << "the discover broadcast waited " << took << " ms";
    EXPECT_TRUE(peer.WaitForLine("DISCOVER", std::to_string(reinterpret_cast<uintptr_t>(window))));
}

// A command that finds the link idle for a whole pace leaves at once, and the pump's next step comes a pace
// after it; one queued within a pace of the last waits for the pump, so two never leave closer together.
TEST_F(SkypeLinkTest, ACommandQueuedAPaceAfterTheLastLeavesAtOnce) {
    ASSERT_TRUE(StartAndAttach());
    link.QueueSkypeCommand("GET USER a ONLINESTATUS");
    EXPECT_TRUE(Queue().empty()) << "the first command waited for the pump";
    EXPECT_EQ(pumpRestarts, 1);
    // Queued right behind it, within its pace.
    link.QueueSkypeCommand("GET USER b ONLINESTATUS");
    EXPECT_EQ(Queue(), Strings{"GET USER b ONLINESTATUS"}) << "a command left within a pace of the last";
    EXPECT_EQ(pumpRestarts, 1);
    Step();
    EXPECT_EQ(peer.Texts("RECV"), (Strings{"GET USER a ONLINESTATUS", "GET USER b ONLINESTATUS"}));
    link.QueueSkypeCommand("GET USER x ONLINESTATUS");
    EXPECT_EQ(Queue(), Strings{"GET USER x ONLINESTATUS"}) << "a command left right after the pump's";
    Step();

    Step(); // the link idles for a pace
    link.QueueSkypeCommand("GET USER c ONLINESTATUS");
    EXPECT_TRUE(Queue().empty());
    EXPECT_EQ(pumpRestarts, 2);
    EXPECT_TRUE(peer.WaitForLine("RECV", "GET USER c ONLINESTATUS"));
}

// A call's waiting commands are dropped when it is abandoned or over; commands of no call always leave.
TEST_F(SkypeLinkTest, CommandsOfADroppedCallNeverLeave) {
    ASSERT_TRUE(StartAndAttach());
    // The first leaves at once; the second waits and keeps everything after it waiting.
    link.QueueSkypeCommand("GET USERSTATUS");
    link.QueueSkypeCommand("GET USER x ONLINESTATUS");
    link.QueueSkypeCommand("SET CALL 5 DTMF 1", 7);
    link.QueueSkypeCommand("GET USER a ONLINESTATUS");
    link.QueueSkypeCommand("SET CALL 6 DTMF 2", 8);
    link.QueueSkypeCommand("SET CALL 5 DTMF 3", 7);
    link.DropSkypeCommands(NoCall);
    EXPECT_EQ(Queue().size(), 5u) << "NoCall names no call";
    link.DropSkypeCommands(7);
    EXPECT_EQ(Queue(), (Strings{"GET USER x ONLINESTATUS", "GET USER a ONLINESTATUS", "SET CALL 6 DTMF 2"}));
    Step();
    Step();
    Step();
    // Commands about a call go before contact queries queued ahead of them.
    EXPECT_EQ(peer.Texts("RECV"), (Strings{"GET USERSTATUS", "SET CALL 6 DTMF 2", "GET USER x ONLINESTATUS",
                                           "GET USER a ONLINESTATUS"}))
        << Describe(peer.Texts("RECV"));
}

// A long contact list queues one status query per contact; commands about a call queued after them leave
// first, in their own order, and the contact traffic goes on afterwards.
TEST_F(SkypeLinkTest, CommandsOfACallLeaveBeforeQueuedContactQueries) {
    ASSERT_TRUE(StartAndAttach());
    link.QueueSkypeCommand("GET USERSTATUS"); // finds the link idle and leaves at once
    link.QueueSkypeCommand("GET USER a ONLINESTATUS");
    link.QueueSkypeCommand("GET USER b ONLINESTATUS");
    link.QueueSkypeCommand("GET CALL 5 PARTNER_HANDLE", 3);
    link.QueueSkypeCommand("GET USER c ONLINESTATUS");
    link.QueueSkypeCommand("SET CALL 6 STATUS FINISHED", 4);
    link.QueueSkypeCommand("set call 5 status inprogress", 3);
    for (int step = 0; step < 6; ++step)
        Step();
    Strings expected = {"GET USERSTATUS",
                        "GET CALL 5 PARTNER_HANDLE",
                        "SET CALL 6 STATUS FINISHED",
                        "set call 5 status inprogress",
                        "GET USER a ONLINESTATUS",
                        "GET USER b ONLINESTATUS",
                        "GET USER c ONLINESTATUS"};
    EXPECT_EQ(peer.Texts("RECV"), expected) << Describe(peer.Texts("RECV"));
}

// Skype goes away while nothing is queued: the next step finds that its window is no longer a window,
// shows the link down and discovers again, so that a new Skype is found and gets what was queued.
TEST_F(SkypeLinkTest, AWindowThatIsGoneIsNoticedOnThePumpStep) {
    ASSERT_TRUE(StartAndAttach());
    TakeShown();
    ASSERT_EQ(peer.Quit(), 0u);
    link.PumpStep();
    EXPECT_FALSE(link.Attached()) << "the link kept a window that is gone";
    EXPECT_EQ(TakeShown(), Strings{"down"});
    EXPECT_NE(TraceText().find("\tDisconnect from Skype...\r\n"), std::string::npos) << TraceText();
    link.QueueSkypeCommand("GET USERSTATUS");
    ASSERT_TRUE(StartAndAttach()) << "the new Skype was not found";
    Step();
    EXPECT_EQ(peer.Texts("RECV"), Strings{"GET USERSTATUS"}) << Describe(peer.Texts("RECV"));
}

// Every end of the attached window is told once, so that the calls it knew of end with it: a refused
// command (told at the next step, never from inside the queueing that sent it), a window that is gone,
// and a success that names another window or none. Re-attaching to the same window tells nothing.
TEST_F(SkypeLinkTest, EachLossOfTheWindowIsToldOnceAndNeverInsideAQueueing) {
    ASSERT_TRUE(StartAndAttach());
    ASSERT_TRUE(peer.Control("refuse 1"));
    link.QueueSkypeCommand("GET USER a ONLINESTATUS"); // finds the link idle, leaves and is refused
    ASSERT_FALSE(link.Attached());
    EXPECT_EQ(losses, 0) << "told from inside the queueing";
    Step();
    EXPECT_EQ(losses, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return link.SkypeWindow() == peer.Api(); }, 5000));
    Step();
    EXPECT_EQ(losses, 1) << "the attach to the same window was taken for a loss";

    ASSERT_EQ(peer.Quit(), 0u);
    link.PumpStep();
    EXPECT_EQ(losses, 2) << "the window that is gone was not told";
    ASSERT_TRUE(StartAndAttach());
    EXPECT_EQ(losses, 2);

    UINT attach = RegisterWindowMessageA("SkypeControlAPIAttach");
    HWND other =
        CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SendMessageA(window, attach, reinterpret_cast<WPARAM>(peer.Api()), 0);
    EXPECT_EQ(losses, 2) << "the same window attaching again";
    SendMessageA(window, attach, reinterpret_cast<WPARAM>(other), 2);
    EXPECT_EQ(losses, 2) << "a refusal changes nothing";
    SendMessageA(window, attach, reinterpret_cast<WPARAM>(other), 0);
    EXPECT_EQ(losses, 3) << "another window took the link";
    EXPECT_EQ(link.SkypeWindow(), other);
    SendMessageA(window, attach, 0, 0);
    EXPECT_EQ(losses, 4) << "a success naming no window";
    link.PumpStep();
    EXPECT_EQ(losses, 4) << "a loss was told twice";
    DestroyWindow(other);
}

// The owner's own sends let Windows deliver Skype's next notification while the owner still handles the one
// before (a call's end seen in the middle of the next call's ring refused that call): it waits its turn.
TEST_F(SkypeLinkTest, ANotificationArrivingWhileOneIsHandledIsHandedOnAfterIt) {
    ASSERT_TRUE(StartAndAttach());
    bool handling = false;
    Strings order;
    whileHandling = [&](const std::string& text) {
        order.push_back(handling ? "inside: " + text : text);
        if (text != "CALL 1 STATUS FINISHED")
            return;
        handling = true;
        std::string next = "CALL 2 STATUS RINGING";
        COPYDATASTRUCT data = {0, static_cast<DWORD>(next.size() + 1), next.data()};
        link.OnCopyData(peer.Api(), &data);
        handling = false;
    };
    ASSERT_TRUE(Notify("CALL 1 STATUS FINISHED"));
    EXPECT_EQ(order, (Strings{"CALL 1 STATUS FINISHED", "CALL 2 STATUS RINGING"}));
}

} // namespace
} // namespace skype_test
