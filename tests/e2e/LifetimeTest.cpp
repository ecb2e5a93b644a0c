// Unplugging the base while calls ring, keys change the display and the call light goes on and off: the
// program goes on serving, and the base comes back into service each time it is plugged in again.
#include <atomic>
#include <thread>

#include "dect/PacketLink.h"
#include "tests/e2e/Scene.h"

namespace {

using e2e::Wait;

class Lifetime : public e2e::Scene {};

TEST_F(Lifetime, UnplugWhileCallsRingAndTheDisplayAndLightsChange) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitAttached());
    ASSERT_TRUE(WaitForContacts("echo123"));
    ASSERT_TRUE(peer.Control("answer 300"));

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string id = std::to_string(200 + round);
        // A ringing call repeats its ring from the window's timer; browsing shows texts; an outgoing call
        // answered at once turns the call light on and its end turns it off.
        ASSERT_TRUE(peer.Control("ring " + id + " alice"));
        ASSERT_TRUE(WaitForFrames(CmdIncomingCall, 1, Wait));
        std::atomic<bool> busy{true};
        std::thread handset([&] {
            const char* keys = "C5*#B##22#B";
            // One key at a time, as fast as the base sends them; none while the base is away.
            for (int i = 0; busy; Sleep(10))
                if (ReadHandset().pendingBytes == 0)
                    HandsetPressKey(static_cast<uint8_t>(keys[i++ % 11]));
        });
        Sleep(400 + 150 * round);
        uint32_t inits = ReadHandset().framesByCommand[CmdInit];
        ASSERT_TRUE(SimUnplug());
        Sleep(300);
        EXPECT_TRUE(program.Proc().Running()) << "the program ended at the unplug";
        ASSERT_TRUE(peer.Control("hangup " + id));
        ASSERT_TRUE(SimPlug());
        EXPECT_TRUE(WaitForFrames(CmdInit, inits + 1, Wait)) << "no start-up after plugging in";
        busy = false;
        handset.join();
        ASSERT_TRUE(program.Proc().Running()) << "the program ended";
    }

    // The handset's backlog drained, the program serves a new call as before.
    ASSERT_TRUE(WaitUntilBaseSent(Wait));
    Sleep(500);
    Press("B"); // ends whatever call the keys left
    Sleep(1000);
    ASSERT_TRUE(peer.Control("ring 299 carol"));
    EXPECT_TRUE(
        WaitForHandset([](const HandsetView& view) { return view.ringing && view.caller == "carol"; }, Wait))
        << "commands: " << ShowCommands();
    EXPECT_TRUE(program.Exit()) << "the program did not end in order";
    EXPECT_EQ(program.Proc().Wait(0), 0u);
}

} // namespace
