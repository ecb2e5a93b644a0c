// Discovery, attach and the command queue of the main window made in the test process, against the real
// Skype API peer program.
#include <thread>

#include "tests/common/SkypeTestSupport.h"

namespace skype_test {
namespace {

using Strings = std::vector<std::string>;

class SkypeLink : public SkypeDialog {};

TEST_F(SkypeLink, AttachesThroughTheDiscoverBroadcast) {
    ASSERT_TRUE(peer.Start());
    // Before the first discovery no message counts as an attach reply, not even message number 0.
    UINT attach = RegisterWindowMessageA("SkypeControlAPIAttach");
    SendMessageA(dialog->Handle(), attach, reinterpret_cast<WPARAM>(peer.Api()), 0);
    SendMessageA(dialog->Handle(), 0, reinterpret_cast<WPARAM>(peer.Api()), 0);
    EXPECT_EQ(skypeWindow, nullptr);
    EXPECT_EQ(dialog->attachMessage, 0u);

    EXPECT_TRUE(dialog->DiscoverSkype()) << "the broadcast was not delivered";
    ASSERT_TRUE(peer.WaitForLine("DISCOVER", std::to_string(reinterpret_cast<uintptr_t>(dialog->Handle()))))
        << "the peer saw no discover broadcast carrying the main window";
    ASSERT_TRUE(test::WaitUntil([&] { return skypeWindow == peer.Api(); }, 5000));
    EXPECT_EQ(dialog->attachMessage, attach);
    EXPECT_TRUE(dialog->skypeConnected);
    EXPECT_EQ(dialog->skypeStatusText, "Connect");
    char shown[64] = "";
    GetDlgItemTextA(dialog->Handle(), 1055, shown, sizeof shown);
    EXPECT_STREQ(shown, "Connect");
    EXPECT_NE(TraceText().find("\tSkype Connected\r\n"), std::string::npos) << TraceText();

    // Attached, a discovery does nothing at all.
    size_t discovers = peer.Lines("DISCOVER").size();
    EXPECT_TRUE(dialog->DiscoverSkype());
    Step();
    EXPECT_EQ(peer.Lines("DISCOVER").size(), discovers);
}

TEST_F(SkypeLink, QueueLeavesOneCommandPerStepOldestFirstSkippingEmptyOnes) {
    ASSERT_TRUE(peer.Start("/attach none"));
    dialog->QueueSkypeCommand("GET USERSTATUS");
    Step(); // discovers; the peer does not answer
    EXPECT_EQ(skypeWindow, nullptr);
    EXPECT_EQ(Queue(), Strings{"GET USERSTATUS"}) << "a command waits while not attached";
    ASSERT_TRUE(peer.Control("reply 0"));
    ASSERT_TRUE(test::WaitUntil([&] { return skypeWindow == peer.Api(); }, 5000));

    // Commands whose answers queue nothing further.
    dialog->QueueSkypeCommand("GET USER alice ONLINESTATUS");
    dialog->QueueSkypeCommand("");
    dialog->QueueSkypeCommand("SET CALL 5 DTMF 1");
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

TEST_F(SkypeLink, RefusedCommandIsLostAndTheLinkIsFoundAgain) {
    GiveBase();
    ASSERT_TRUE(StartAndAttach());
    // The step shows the link down before it discovers; the attach shows it up.
    EXPECT_EQ(TakeHandset(), (Strings{"skype light 0", "skype light 1"}));
    for (const char* command :
         {"GET USER a ONLINESTATUS", "GET USER b ONLINESTATUS", "GET USER c ONLINESTATUS"})
        dialog->QueueSkypeCommand(command);
    ASSERT_TRUE(peer.Control("refuse 1"));

    Step();
    EXPECT_EQ(skypeWindow, nullptr);
    EXPECT_FALSE(dialog->skypeConnected);
    EXPECT_EQ(dialog->skypeStatusText, "Disconnect");
    EXPECT_EQ(TakeHandset(), Strings{"skype light 0"});
    EXPECT_NE(TraceText().find("\tDisconnect from Skype...\r\n"), std::string::npos) << TraceText();
    EXPECT_EQ(Queue(), (Strings{"GET USER b ONLINESTATUS", "GET USER c ONLINESTATUS"}));

    Step(); // not attached: shows the link down and discovers again
    ASSERT_TRUE(test::WaitUntil([&] { return skypeWindow == peer.Api(); }, 5000));
    EXPECT_EQ(peer.Lines("DISCOVER").size(), 2u);
    EXPECT_EQ(TakeHandset(), (Strings{"skype light 0", "skype light 1"}));
    Step();
    Step();
    EXPECT_EQ(peer.Texts("REFUSED"), Strings{"GET USER a ONLINESTATUS"});
    EXPECT_EQ(peer.Texts("RECV"), (Strings{"GET USER b ONLINESTATUS", "GET USER c ONLINESTATUS"}))
        << Describe(peer.Texts("RECV"));
}

TEST_F(SkypeLink, AttachStatusesOtherThanSuccessAreTracedAndChangeNothing) {
    // The peer answers the discoveries with these statuses, one each.
    ASSERT_TRUE(peer.Start("/attach \"1 2 3 32769 7\""));
    for (int step = 0; step < 5; ++step)
        Step();
    EXPECT_EQ(peer.Texts("ATTACH"), (Strings{"1", "2", "3", "32769", "7"}));
    EXPECT_EQ(skypeWindow, nullptr);
    EXPECT_EQ(dialog->skypeStatusText, "Disconnect");
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
    ASSERT_TRUE(test::WaitUntil([&] { return skypeWindow == peer.Api(); }, 5000));
    // A refusal after a successful attach leaves the link as it was.
    ASSERT_TRUE(peer.Control("reply 2"));
    ASSERT_TRUE(peer.WaitForLine("ATTACH", "2"));
    test::WaitUntil([] { return false; }, 100);
    EXPECT_EQ(skypeWindow, peer.Api());
    EXPECT_EQ(dialog->skypeStatusText, "Connect");
    // Success naming no window leaves the link down.
    ASSERT_TRUE(peer.Control("reply 0 0"));
    ASSERT_TRUE(test::WaitUntil([&] { return skypeWindow == nullptr; }, 5000));
    EXPECT_EQ(dialog->skypeStatusText, "Disconnect");
    EXPECT_FALSE(dialog->skypeConnected);
}

TEST_F(SkypeLink, MissingSkypeIsReportedInABoxWithoutOwnerAndNothingIsBroadcast) {
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
    bool found = dialog->DiscoverSkype();
    user.join();
    SetSkypeKey(true);
    EXPECT_FALSE(found);
    ASSERT_TRUE(boxShown) << "no message box captioned Telvane";
    EXPECT_EQ(text, "Cannot detect Skype !!!");
    EXPECT_EQ(owner, nullptr);
    Step();
    EXPECT_EQ(peer.Lines("DISCOVER").size(), 1u) << "the first discovery broadcast nothing";
    EXPECT_EQ(skypeWindow, peer.Api()) << "with the key back, the next step finds Skype";
}

// A window whose thread has stopped answering must not hold up the main window's discovery for long.
TEST_F(SkypeLink, UnresponsiveWindowDoesNotFreezeDiscovery) {
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
    dialog->DiscoverSkype();
    DWORD took = GetTickCount() - start;
    stuck.join();
    CloseHandle(created);
    EXPECT_LT(took, 2500u) << "the discover broadcast waited " << took << " ms";
    EXPECT_TRUE(peer.WaitForLine("DISCOVER", std::to_string(reinterpret_cast<uintptr_t>(dialog->Handle()))));
}

} // namespace
} // namespace skype_test
