// The packet link through the real channel threads and the simulated base: every frame goes out over
// registers 10 and 15 and comes back over register 18.
#include <gtest/gtest.h>

#include <functional>

#include "chip/Registers.h"
#include "sim/control/ChipControl.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/common/TestSupport.h"
#include "tests/dect/DectTestSupport.h"

using dect_test::Hex;
using dect_test::Joined;

namespace {

constexpr DWORD FrameTimeoutMs = 3000;
// A frame from the base: each byte takes two 25 ms nibble holds, the link reads one per 50 ms.
constexpr DWORD ReceiveTimeoutMs = 5000;

class DectLinkTest : public dect_test::SimulatedBaseTest {};

struct SendCase {
    const char* what;
    std::function<int(PacketLink&)> send;
    uint8_t command;
    const char* frame;
};

} // namespace

TEST_F(DectLinkTest, InitFrameGoesOutWhenTheLinkOpens) {
    base = std::make_unique<DectBase>();
    ASSERT_EQ(1, base->Open());
    ASSERT_TRUE(WaitForFrames(CmdInit, 1, FrameTimeoutMs));
    EXPECT_EQ("24 24 03 00 00 fd", LastFrameAtBase());
    std::vector<std::string> lines = trace->Lines();
    EXPECT_EQ("[MAIN -> DECT] : 24 24 03 00 00 fd ", lines.back()) << Joined(lines);
    EXPECT_TRUE(ReadHandset().initialised);
}

TEST_F(DectLinkTest, HandsetMessagesArriveAsTheirFrames) {
    OpenBase();
    const SendCase cases[] = {
        {"SendRelease", [](PacketLink& l) { return l.SendRelease(); }, CmdRelease, "24 24 03 02 81 7a"},
        {"SendConnect", [](PacketLink& l) { return l.SendConnect(); }, CmdConnect, "24 24 04 04 01 81 76"},
        {"ShowText abc", [](PacketLink& l) { return l.ShowText("abc"); }, CmdDisplay,
         "24 24 10 0a 01 0c 61 62 63 20 20 20 20 20 20 20 20 20 93"},
        {"SendIncomingCall abc", [](PacketLink& l) { return l.SendIncomingCall("abc"); }, CmdIncomingCall,
         "24 24 14 05 81 02 30 30 04 3c 61 62 63 00 20 20 20 20 20 20 20 20 9e"},
        {"ShowText of 16 letters", [](PacketLink& l) { return l.ShowText("abcdefghijklmnop"); }, CmdDisplay,
         "24 24 10 0a 01 0c 61 62 63 64 65 66 67 68 69 6a 6b 6c 0b"},
        {"SendIncomingCall of 16 letters",
         [](PacketLink& l) { return l.SendIncomingCall("abcdefghijklmnop"); }, CmdIncomingCall,
         "24 24 14 05 81 02 30 30 0c 3c 61 62 63 64 65 66 67 68 69 6a 6b 6c ee"},
        {"SendIncomingCall of 11 letters", [](PacketLink& l) { return l.SendIncomingCall("abcdefghijk"); },
         CmdIncomingCall, "24 24 14 05 81 02 30 30 0c 3c 61 62 63 64 65 66 67 68 69 6a 6b 00 5a"},
    };
    for (const SendCase& c : cases) {
        uint32_t before = ReadHandset().framesByCommand[c.command];
        int frameLength = static_cast<int>(std::string(c.frame).size() + 1) / 3;
        EXPECT_EQ(frameLength, c.send(*base->Link())) << c.what;
        ASSERT_TRUE(WaitForFrames(c.command, before + 1, FrameTimeoutMs))
            << c.what << ": nothing reached the base";
        EXPECT_EQ(c.frame, LastFrameAtBase()) << c.what;
        std::vector<std::string> lines = trace->Since();
        EXPECT_EQ(std::vector<std::string>{std::string("[MAIN -> DECT] : ") + c.frame + " "}, lines)
            << c.what << Joined(lines);
    }
    EXPECT_EQ(0u, ReadHandset().badFrames);
}

TEST_F(DectLinkTest, HandsetFollowsDisplayRingConnectAndRelease) {
    OpenBase();
    base->Link()->ShowText("*alice");
    ASSERT_TRUE(WaitForDisplay("*alice      ", FrameTimeoutMs))
        << "display: '" << ReadHandset().display << "'";
    base->Link()->SendIncomingCall("bob");
    ASSERT_TRUE(WaitForHandset([](const HandsetView& v) { return v.ringing; }, FrameTimeoutMs));
    HandsetView view = ReadHandset();
    EXPECT_EQ("bob", view.caller);
    EXPECT_FALSE(view.inCall);
    base->Link()->SendConnect();
    ASSERT_TRUE(WaitForHandset([](const HandsetView& v) { return v.inCall; }, FrameTimeoutMs));
    EXPECT_FALSE(ReadHandset().ringing) << "ringing goes on in a call";
    base->Link()->SendRelease();
    ASSERT_TRUE(WaitForHandset([](const HandsetView& v) { return !v.inCall; }, FrameTimeoutMs));
    view = ReadHandset();
    EXPECT_FALSE(view.ringing);
    EXPECT_EQ("", view.caller);
}

// The base drops a broken frame and finds the next '$' '$', even one that the broken frame swallowed.
TEST_F(DectLinkTest, BaseDropsBrokenFramesAndResynchronises) {
    OpenBase();
    const uint8_t wrongSum[] = {0x24, 0x24, 0x03, 0x0a, 0x00, 0x00};
    const uint8_t cutShort[] = {0x24, 0x24, 0x10, 0x0a, 0x01};
    base->Link()->SendPacket(CmdRaw, wrongSum, sizeof wrongSum);
    base->Link()->SendPacket(CmdRaw, cutShort, sizeof cutShort);
    base->Link()->SendConnect();
    base->Link()->ShowText("after");
    ASSERT_TRUE(WaitForDisplay("after       ", FrameTimeoutMs))
        << "display: '" << ReadHandset().display << "'";
    HandsetView view = ReadHandset();
    EXPECT_EQ(1u, view.framesByCommand[CmdConnect]) << "the connect frame behind the cut one was lost";
    EXPECT_TRUE(view.inCall);
    EXPECT_GE(view.badFrames, 2u);
    ASSERT_EQ(3u, view.frames.size());
    EXPECT_EQ("24 24 04 04 01 81 76", Hex(view.frames[1]));
}

// Unplugged, the base loses its power and with it a frame cut off on the way: the first frame after it is
// plugged in again is not swallowed as the rest of the cut one.
TEST_F(DectLinkTest, AFrameCutOffByAnUnplugDoesNotSwallowTheNextOne) {
    OpenBase();
    const uint8_t cutShort[] = {0x24, 0x24, 0x10, 0x0a, 0x01};
    size_t before = ChipReceived().size();
    base->Link()->SendPacket(CmdRaw, cutShort, sizeof cutShort);
    ASSERT_TRUE(
        test::WaitUntil([&] { return ChipReceived().size() == before + sizeof cutShort; }, FrameTimeoutMs));
    SimUnplug();
    SimPlug();
    base->Link()->SendConnect();
    EXPECT_TRUE(WaitForFrames(CmdConnect, 1, FrameTimeoutMs)) << "frames: " << ReadHandset().frames.size();
}

TEST_F(DectLinkTest, KeyFrameFromTheBaseIsReceived) {
    OpenBase();
    ASSERT_TRUE(HandsetPressKey('5'));
    uint8_t buffer[ReceiveBufferSize] = {};
    int length = 0;
    EXPECT_EQ(CmdKey,
              dect_test::ReceiveUntilReceived(*base->Link(), *trace, buffer, &length, ReceiveTimeoutMs));
    EXPECT_EQ(5, length);
    EXPECT_EQ("00 01 35", Hex(buffer, 3));
    std::vector<std::string> lines = trace->Since();
    EXPECT_EQ(std::vector<std::string>{"[DECT -> MAIN] : 24 24 05 01 00 01 35 c4 "}, lines) << Joined(lines);
}

// A length byte of 20 announces a body that 19 attempts cannot bring in; the checksum byte left over then
// starts the next call, which finds no header.
TEST_F(DectLinkTest, LengthOverNineteenNeverCompletes) {
    OpenBase();
    // The base sends fast, so that the nineteen bytes and not the time for them end the frame, however late
    // the reader is.
    ChipSetNibbleHold(5);
    std::vector<uint8_t> payload(18, 0x31);
    ASSERT_TRUE(HandsetSendFrame(0x30, payload));
    uint8_t buffer[ReceiveBufferSize] = {};
    int length = 0;
    EXPECT_EQ(0, dect_test::ReceiveUntilReceived(*base->Link(), *trace, buffer, &length, ReceiveTimeoutMs));
    EXPECT_EQ(std::vector<std::string>{"2.Reach max read times"}, trace->Since()) << Joined(trace->Lines());
    EXPECT_EQ(0, dect_test::ReceiveUntilReceived(*base->Link(), *trace, buffer, &length, ReceiveTimeoutMs));
    EXPECT_EQ(std::vector<std::string>{"1.Reach max read times..."}, trace->Since())
        << Joined(trace->Lines());
}

TEST_F(DectLinkTest, WrongChecksumIsDroppedAndDumped) {
    OpenBase();
    ASSERT_TRUE(HandsetSendRaw({0x24, 0x24, 0x05, 0x01, 0x00, 0x01, 0x35, 0xc5}));
    uint8_t buffer[ReceiveBufferSize] = {};
    int length = 0;
    EXPECT_EQ(0, dect_test::ReceiveUntilReceived(*base->Link(), *trace, buffer, &length, ReceiveTimeoutMs));
    std::vector<std::string> expected = {"Check sum error, drop it",
                                         "[DECT -> MAIN] : 24 24 05 01 00 01 35 c5 "};
    std::vector<std::string> lines = trace->Since();
    EXPECT_EQ(expected, lines) << Joined(lines);
    EXPECT_EQ(0, length) << "length is only set for a good frame";
}

TEST_F(DectLinkTest, EmptyPipeAnswersAtOnceWithoutLog) {
    OpenBase();
    uint8_t buffer[ReceiveBufferSize] = {};
    int length = 0;
    // Forty answers take far less than forty pauses, however the machine holds this thread off.
    constexpr int Calls = 40;
    DWORD start = GetTickCount();
    for (int call = 0; call < Calls; ++call)
        EXPECT_EQ(0, base->Link()->ReceivePacket(buffer, &length));
    EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(Calls * ReceivePauseMs / 2)) << "pauses were taken";
    std::vector<std::string> lines = trace->Since();
    EXPECT_TRUE(lines.empty()) << Joined(lines);
}

TEST_F(DectLinkTest, IndicatorsDriveActiveLowLinesOnRegister16) {
    OpenBase();
    struct Step {
        const char* what;
        std::function<void(PacketLink&)> act;
        uint8_t register16;
        bool skypeLight;
        bool callLight;
    };
    const Step steps[] = {
        {"call on", [](PacketLink& l) { l.SetCallIndicator(1); }, 0x07, false, true},
        {"Skype on", [](PacketLink& l) { l.SetSkypeIndicator(1); }, 0x05, true, true},
        {"call off", [](PacketLink& l) { l.SetCallIndicator(0); }, 0x0D, true, false},
        {"Skype off", [](PacketLink& l) { l.SetSkypeIndicator(0); }, 0x0F, false, false},
    };
    EXPECT_EQ(0x0F, ChipRegister(16)) << "after open";
    for (const Step& step : steps) {
        step.act(*base->Link());
        EXPECT_EQ(step.register16, ChipRegister(16)) << step.what;
        HandsetView view = ReadHandset();
        EXPECT_EQ(step.skypeLight, view.skypeLight) << step.what;
        EXPECT_EQ(step.callLight, view.callLight) << step.what;
    }
    // Bits 0 and 2 are raised whatever was read; the other line keeps its state.
    ChipSetRegister(16, 0x00);
    base->Link()->SetCallIndicator(0);
    EXPECT_EQ(0x0D, ChipRegister(16));
    ChipSetRegister(16, 0xF0);
    base->Link()->SetSkypeIndicator(1);
    EXPECT_EQ(0xF5, ChipRegister(16));
}
