// A key lost on its way from the base while a number is typed, contacts are browsed or the calls list is
// looked at: nothing is called with what is left, the handset says so, the keys that follow are ignored
// until the handset is idle again, and the number typed again then is called as typed.
#include "sim/control/ChipControl.h"
#include "tests/e2e/Scene.h"

namespace {

using e2e::Wait;

// The frame of key '7' with its checksum one off: the program's packet layer drops it.
const std::vector<uint8_t> BrokenSeven = {0x24, 0x24, 0x05, 0x01, 0x00, 0x01, '7', 0xC3};
const std::string Number = "02071234567";
// Longer than the pause after lost keys.
constexpr DWORD IdleAgainWait = Wait + 3000;

class LostKeys : public e2e::Scene {
  protected:
    void SetUp() override {
        Scene::SetUp();
        ASSERT_TRUE(Start());
        ASSERT_TRUE(WaitAttached());
    }
    std::vector<std::string> CallsPlaced() const {
        std::vector<std::string> calls;
        for (const std::string& command : Commands())
            if (command.rfind("CALL ", 0) == 0)
                calls.push_back(command);
        return calls;
    }
    // The handset said that a key was lost and is idle again, and nothing was called.
    void ExpectKeyLostAndNothingCalled(const std::string& what) {
        EXPECT_TRUE(WaitForDisplay("Key lost")) << what << ": the handset shows " << ReadHandset().display;
        EXPECT_TRUE(WaitForDisplay("", IdleAgainWait)) << what << ": the handset did not become idle again";
        EXPECT_EQ(CallsPlaced(), std::vector<std::string>{}) << what << ": " << ShowCommands();
    }
    void ExpectTheNumberTypedAgainIsCalled() {
        Press("#" + Number + "#");
        EXPECT_TRUE(WaitForCommand("CALL " + Number)) << ShowCommands();
        EXPECT_EQ(CallsPlaced(), std::vector<std::string>{"CALL " + Number}) << ShowCommands();
    }
};

TEST_F(LostKeys, ABrokenKeyFrameWhileANumberIsTypedOrContactsOrTheCallsListAreBrowsedCallsNothing) {
    ASSERT_TRUE(WaitForContacts("echo123"));
    Press("#020");
    ASSERT_TRUE(HandsetSendRaw(BrokenSeven));
    Press("1234567#");
    ExpectKeyLostAndNothingCalled("typing a number");

    Press("##");
    ASSERT_TRUE(WaitForDisplay("alice"));
    ASSERT_TRUE(HandsetSendRaw(BrokenSeven));
    Press("2#");
    ExpectKeyLostAndNothingCalled("browsing the contacts");

    ExpectTheNumberTypedAgainIsCalled();
    Press("B");
    ASSERT_TRUE(peer.WaitForLine("SEND", "CALL 101 STATUS FINISHED")) << ShowCommands();
    Press("*");
    ASSERT_TRUE(WaitForDisplay(">" + Number));
    ASSERT_TRUE(HandsetSendRaw(BrokenSeven));
    Press("#");
    EXPECT_TRUE(WaitForDisplay("Key lost"));
    EXPECT_TRUE(WaitForDisplay("", IdleAgainWait));
    EXPECT_EQ(CallsPlaced(), std::vector<std::string>{"CALL " + Number})
        << "the calls list's entry was called: " << ShowCommands();
}

// The program's reader is held off in the middle of the number's keys: nibbles go by unread, a byte or
// two of a key frame is lost and the frames after it are out of step until the packet layer finds a
// frame's start again.
TEST_F(LostKeys, AReaderThatMissesNibblesInTheMiddleOfANumberCallsNothing) {
    Press("#020");
    const std::string rest = "71234567#";
    for (char key : rest)
        ASSERT_TRUE(HandsetPressKey(static_cast<uint8_t>(key)));
    uint32_t queued = ReadHandset().pendingBytes;
    ASSERT_GE(queued, 8 * rest.size() - 8) << "the base began sending before the keys were queued";
    // Into the first key frame's fourth byte, then the reader misses well over a nibble's hold.
    ASSERT_TRUE(
        WaitForHandset([&](const HandsetView& view) { return view.pendingBytes + 4 <= queued; }, Wait));
    ChipStallReader(120);
    EXPECT_GT(ChipReaderTiming().unread, 0u) << "the stall cost no nibble";
    ASSERT_TRUE(WaitUntilBaseSent(Wait + 2000));
    ExpectKeyLostAndNothingCalled("a reader that missed nibbles");
    ExpectTheNumberTypedAgainIsCalled();
}

} // namespace
