// The DECT base device against the simulated base: the wake-up handshake and register set-up of Open, and
// the events PollEvent derives from the base's frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "sim/control/ChipControl.h"
#include "sim/control/HandsetControl.h"
#include "sim/control/SimControl.h"
#include "tests/dect/DectTestSupport.h"

using dect_test::Hex;
using dect_test::Joined;

namespace {

constexpr DWORD ReceiveTimeoutMs = 5000;
constexpr int SetUpRegisters[] = {10, 15, 19, 20, 21, 16};
constexpr uint8_t SetUpValues[] = {0x55, 1, 0, 0, 0, 0x0F};

class DectBaseOpenTest : public dect_test::SimulatedBaseTest {
  protected:
    // Marks the set-up registers so that a later write to them shows.
    void MarkRegisters() {
        for (int reg : SetUpRegisters)
            ChipSetRegister(reg, 0xA5);
    }
    std::string RegisterDump() {
        std::vector<uint8_t> values;
        for (int reg : SetUpRegisters)
            values.push_back(ChipRegister(reg));
        return Hex(values);
    }
    std::vector<std::string> OpenLines() {
        std::vector<std::string> lines;
        for (const std::string& line : trace->Lines())
            if (line.rfind("[ReadDataFromNic]", 0) == 0 || line.rfind("[WriteDataToNic]", 0) == 0)
                lines.push_back(line);
        return lines;
    }
    bool WokenOnTheWire() {
        std::vector<uint8_t> wire = ChipWireLog();
        return std::find(wire.begin(), wire.end(), 0xAB) != wire.end();
    }
};

class DectBasePollTest : public dect_test::SimulatedBaseTest {
  protected:
    // Lets the handset act, then polls like the handset event thread until the frame is dealt with.
    int PollAfter(bool queued) {
        EXPECT_TRUE(queued) << "the handset's frame was not queued";
        return dect_test::PollUntilReceived(*base, *trace, ReceiveTimeoutMs);
    }
};

} // namespace

TEST_F(DectBaseOpenTest, AwakeBaseOpensWithoutWakeUp) {
    MarkRegisters();
    base = std::make_unique<DectBase>();
    EXPECT_EQ(1, base->Open());
    std::vector<std::string> expected = {"[ReadDataFromNic] : 52", "[ReadDataFromNic] : 18"};
    EXPECT_EQ(expected, OpenLines()) << Joined(trace->Lines());
    EXPECT_FALSE(WokenOnTheWire());
    // Register 15 may already carry the link's first nibble; the others stand as the set-up left them.
    std::string registers = RegisterDump();
    EXPECT_EQ("00 00 00 0f", registers.substr(6)) << "registers 10 15 19 20 21 16: " << registers;
    EXPECT_NE(nullptr, base->Link());
    EXPECT_TRUE(WaitForFrames(CmdInit, 1, 3000));
}

TEST_F(DectBaseOpenTest, IdentAllOnesCountsAsPresent) {
    ChipSetIdent(0xFF, 0xFF);
    base = std::make_unique<DectBase>();
    EXPECT_EQ(1, base->Open());
    std::vector<std::string> expected = {"[ReadDataFromNic] : 255", "[ReadDataFromNic] : 255"};
    EXPECT_EQ(expected, OpenLines()) << Joined(trace->Lines());
    EXPECT_FALSE(WokenOnTheWire());
}

TEST_F(DectBaseOpenTest, AsleepBaseIsWokenThenOpens) {
    ChipSetBusBehaviour(BusAsleep);
    base = std::make_unique<DectBase>();
    DWORD start = GetTickCount();
    EXPECT_EQ(1, base->Open());
    DWORD elapsed = GetTickCount() - start;
    std::vector<std::string> expected = {"[ReadDataFromNic] : 255", "[ReadDataFromNic] : 0",
                                         "[WriteDataToNic] : 169",  "[WriteDataToNic] : 56",
                                         "[ReadDataFromNic] : 52",  "[ReadDataFromNic] : 18"};
    EXPECT_EQ(expected, OpenLines()) << Joined(trace->Lines());
    EXPECT_TRUE(ChipWoken());
    EXPECT_GE(elapsed, 200u) << "the 200 ms pause after the wake-up write";
    EXPECT_NE(nullptr, base->Link());
    EXPECT_TRUE(WaitForFrames(CmdInit, 1, 3000));
}

TEST_F(DectBaseOpenTest, AbsentBaseLeavesRegistersAndLinkAlone) {
    ChipSetBusBehaviour(BusAbsent);
    MarkRegisters();
    base = std::make_unique<DectBase>();
    EXPECT_EQ(0, base->Open());
    std::vector<std::string> expected = {"[ReadDataFromNic] : 0",  "[ReadDataFromNic] : 0",
                                         "[WriteDataToNic] : 169", "[WriteDataToNic] : 56",
                                         "[ReadDataFromNic] : 0",  "[ReadDataFromNic] : 0"};
    std::vector<std::string> lines = trace->Lines();
    EXPECT_EQ(expected, lines) << "nothing but the six bus lines" << Joined(lines);
    // Register 16 carries the bus clock, so only the channel registers and 19 to 21 keep their mark.
    EXPECT_EQ("a5 a5 a5 a5 a5", RegisterDump().substr(0, 14))
        << "registers 10 15 19 20 21: " << RegisterDump();
    EXPECT_EQ(nullptr, base->Link());
    EXPECT_EQ(0, base->PollEvent());
    EXPECT_TRUE(ChipReceived().empty()) << "bytes reached the base: " << Hex(ChipReceived());
}

TEST_F(DectBaseOpenTest, SecondOpenSetsRegistersAgainAndKeepsTheLink) {
    OpenBase();
    PacketLink* first = base->Link();
    MarkRegisters();
    EXPECT_EQ(1, base->Open());
    EXPECT_EQ("55 01 00 00 00 0f", RegisterDump());
    EXPECT_EQ(first, base->Link());
    // The running link still carries frames, and no second CmdInit went out.
    base->Link()->ShowText("again");
    EXPECT_TRUE(WaitForDisplay("again       ", 3000)) << "display: '" << ReadHandset().display << "'";
    EXPECT_EQ(1u, ReadHandset().framesByCommand[CmdInit]);
}

// A second Open may come while the writer is in the middle of a frame; the frame still arrives whole.
TEST_F(DectBaseOpenTest, SecondOpenDoesNotCutAFrameInFlight) {
    for (DWORD pause = 0; pause < 10; ++pause) {
        SimReset();
        base = std::make_unique<DectBase>();
        ASSERT_EQ(1, base->Open());
        Sleep(pause); // the link's CmdInit goes out, one byte per 2 ms
        ASSERT_EQ(1, base->Open());
        EXPECT_TRUE(WaitForFrames(CmdInit, 1, 1000))
            << "after " << pause << " ms: received " << Hex(ChipReceived()) << ", " << ReadHandset().badFrames
            << " bad frames";
        base.reset();
    }
}

TEST_F(DectBasePollTest, KeyFramesGiveTheirKeyCode) {
    OpenBase();
    EXPECT_EQ(1, PollAfter(HandsetPressKey('5')));
    EXPECT_EQ('5', base->eventCode);
    EXPECT_EQ('5', base->TakeKeyCode());
    EXPECT_EQ(1, PollAfter(HandsetPressKey(')')));
    EXPECT_EQ(41, base->TakeKeyCode());
    EXPECT_EQ(1, PollAfter(HandsetPressKey('(')));
    EXPECT_EQ(40, base->eventCode);
    EXPECT_EQ(0, base->TakeKeyCode()) << "40 is no accepted key";
    EXPECT_EQ(1, PollAfter(HandsetPressKey(22)));
    EXPECT_EQ(0, base->TakeKeyCode()) << "22 is no accepted key";
    // Without the key mark in payload byte 1 a key frame is no event.
    EXPECT_EQ(0, PollAfter(HandsetSendFrame(CmdKey, {0x00, 0x02, '7'})));
    EXPECT_EQ(-1, base->eventCode);
}

TEST_F(DectBasePollTest, KeyNoticeIsAnEventWithOrWithoutItsMark) {
    OpenBase();
    EXPECT_EQ(1, PollAfter(HandsetKeyNotice(1, '#')));
    EXPECT_EQ('#', base->TakeKeyCode());
    EXPECT_EQ(1, PollAfter(HandsetKeyNotice(0, '#')));
    EXPECT_EQ(-1, base->eventCode);
    EXPECT_EQ(0, base->TakeKeyCode());
}

TEST_F(DectBasePollTest, ReleaseIsEchoedAndConnectTaken) {
    OpenBase();
    EXPECT_EQ(1, PollAfter(HandsetHangUp(7)));
    EXPECT_EQ(66, base->eventCode);
    EXPECT_EQ('B', base->TakeKeyCode());
    ASSERT_TRUE(WaitForFrames(CmdReleaseAck, 1, 3000)) << "no CmdReleaseAck reached the base";
    EXPECT_EQ(7, ReadHandset().lastReleaseAck);
    EXPECT_EQ("24 24 03 03 07 f3", LastFrameAtBase());
    std::vector<std::string> lines = trace->Since();
    std::vector<std::string> expected = {"[DECT -> MAIN] : 24 24 03 02 07 f4 ",
                                         "[MAIN -> DECT] : 24 24 03 03 07 f3 "};
    EXPECT_EQ(expected, lines) << Joined(lines);

    EXPECT_EQ(1, PollAfter(HandsetTakeLine()));
    EXPECT_EQ(67, base->eventCode);
    EXPECT_EQ('C', base->TakeKeyCode());
}

TEST_F(DectBasePollTest, UnknownAndShortFramesAreNoEvents) {
    OpenBase();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"unknown command 9", {0x24, 0x24, 0x04, 0x09, 0x00, 0x01, 0xf2}},
        {"command 0 from the base", {0x24, 0x24, 0x05, 0x00, 0x00, 0x01, 0x35, 0xc5}},
        {"CmdReleaseAck from the base", {0x24, 0x24, 0x03, 0x03, 0x07, 0xf3}},
        // The checksum 0x36 stands where the key code belongs: no key '6'.
        {"CmdKey without its key code", {0x24, 0x24, 0x04, 0x01, 0xc4, 0x01, 0x36}},
        {"CmdKeyNotice without its key code", {0x24, 0x24, 0x04, 0x0b, 0xba, 0x01, 0x36}},
        {"CmdRelease without its byte", {0x24, 0x24, 0x02, 0x02, 0xfc}},
    };
    for (const Case& c : cases) {
        trace->Since();
        EXPECT_EQ(0, PollAfter(HandsetSendRaw(c.bytes))) << c.what;
        EXPECT_EQ(-1, base->eventCode) << c.what;
        std::vector<std::string> lines = trace->Since();
        EXPECT_EQ(std::vector<std::string>{"[DECT -> MAIN] : " + Hex(c.bytes) + " "}, lines)
            << c.what << Joined(lines);
    }
    EXPECT_EQ(0u, ReadHandset().framesByCommand[CmdReleaseAck])
        << "a release without its byte was acknowledged";
}

TEST(DectBaseKeys, TakeKeyCodeAcceptsExactlyTheHandsetKeys) {
    const std::set<int> accepted = {21,  23,  24,  25,  27,  '#', ')', '*', '0', '1', '2', '3',
                                    '4', '5', '6', '7', '8', '9', 'B', 'C', 'D', 'E', 'G', 'f'};
    DectBase base;
    for (int code = -1; code < 256; ++code) {
        base.eventCode = code;
        EXPECT_EQ(accepted.count(code) ? code : 0, base.TakeKeyCode()) << "event code " << code;
    }
}

TEST(DectBaseDefaults, OnlyTheBaseFeaturesDifferFromAPlainDevice) {
    PhoneDevice plain;
    DectBase dect;
    EXPECT_EQ(1, plain.Open());
    EXPECT_EQ(0, plain.SetSignal(0));
    EXPECT_EQ(1, dect.SetSignal(0));
    EXPECT_EQ(0, plain.Reserved5());
    EXPECT_EQ(1, dect.Reserved5());
    EXPECT_EQ(0, plain.NeedsEventThread());
    EXPECT_EQ(1, dect.NeedsEventThread());
    EXPECT_EQ(1, plain.GetFeatureFlag());
    EXPECT_EQ(1, dect.GetFeatureFlag());
    EXPECT_EQ(0, dect.TranslateKey(5));
    EXPECT_EQ(0, dect.PollEvent()) << "no link before Open";
    plain.eventCode = 'x';
    EXPECT_EQ(0, plain.PollEvent());
    EXPECT_EQ(-1, plain.eventCode);
    EXPECT_EQ(0u, plain.StartTimer(nullptr, 1, 10));
}
