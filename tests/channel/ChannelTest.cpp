// The two channel threads against the simulated base: single steps with the registers set by hand, and
// the real threads carrying bytes both ways.
#include <atomic>
#include <thread>

#include "chip/Registers.h"
#include "dect/ChannelReader.h"
#include "dect/ChannelWriter.h"
#include "dect/PhoneDevice.h"
#include "dect/PipePair.h"
#include "sim/control/ChipControl.h"
#include "tests/chip/SimLibraryTest.h"

namespace {

class ChannelTest : public SimLibraryTest {
  protected:
    void SetUp() override {
        SimLibraryTest::SetUp();
        ChipDetachFirmware(true); // the firmware would answer what the tests send
        ASSERT_EQ(inbound.Create(), 1);
        ASSERT_EQ(outbound.Create(), 1);
    }
    void TearDown() override {
        inbound.Close();
        outbound.Close();
        SimLibraryTest::TearDown();
    }

    std::vector<uint8_t> Drain(PipePair& pipe) {
        std::vector<uint8_t> bytes;
        uint8_t buffer[256];
        while (int count = pipe.Read(buffer, sizeof buffer))
            bytes.insert(bytes.end(), buffer, buffer + count);
        return bytes;
    }

    PhoneDevice device;
    PipePair inbound;
    PipePair outbound;
};

TEST_F(ChannelTest, WriterPutsHighThenLowNibbleOnRegisters10And15) {
    ChannelWriter writer(&outbound, &device);
    ChipSetRegister(10, 0x55);
    ChipSetRegister(15, 0x01);
    writer.Step();
    EXPECT_EQ(ChipRegister(10), 0x55) << "nothing to send leaves the lines alone";
    EXPECT_EQ(ChipRegister(15), 0x01);

    uint8_t byte = 0x24;
    ASSERT_EQ(outbound.Write(&byte, 1), 1);
    writer.Step();
    EXPECT_EQ(ChipRegister(10), 0x5D);
    EXPECT_EQ(ChipRegister(15), 0x5F);
    EXPECT_EQ(Hex(ChipReceived()), "") << "the base has only the high nibble";
    writer.Step();
    EXPECT_EQ(ChipRegister(10), 0x75);
    EXPECT_EQ(ChipRegister(15), 0x01);
    EXPECT_EQ(Hex(ChipReceived()), "24");
    EXPECT_EQ(ChipRequestViolations(), 0u);
}

TEST_F(ChannelTest, ReaderTakesANibbleOnEachChangeOfBit7) {
    ChannelReader reader(&inbound, &device);
    for (uint8_t value : {0x00, 0xA2, 0xA2, 0x18, 0x18}) {
        ChipSetRegister(18, value);
        reader.Step();
    }
    EXPECT_EQ(Hex(Drain(inbound)), "96");
}

TEST_F(ChannelTest, ReaderIgnoresEverythingUntilBit7FirstRises) {
    ChannelReader reader(&inbound, &device);
    // Bit 7 low throughout, other bits changing: no strobe yet. Bits 0, 2 and 6 carry nothing.
    for (uint8_t value : {0x18, 0x3A, 0x00, 0x7F}) {
        ChipSetRegister(18, value);
        reader.Step();
    }
    EXPECT_EQ(Hex(Drain(inbound)), "");
    for (uint8_t value : {0xFF, 0xC5, 0x45}) {
        ChipSetRegister(18, value);
        reader.Step();
    }
    EXPECT_EQ(Hex(Drain(inbound)), "F0");
}

TEST_F(ChannelTest, BasePresentsNibblesByTheClock) {
    // Holds long enough that a stalled test still looks within the first one; the low nibble stays after.
    ChipSetNibbleHold(500);
    ASSERT_EQ(ChipQueueForProgram({0x96}), 1);
    EXPECT_EQ(ChipRegister(18), 0xA2) << "high nibble with bit 7 high first";
    Sleep(600);
    EXPECT_EQ(ChipRegister(18), 0x18) << "then the low nibble with bit 7 low";
    Sleep(500);
    EXPECT_FALSE(ChipSending());
    EXPECT_EQ(ChipRegister(18), 0x18) << "idle keeps bit 7 low";

    // Nobody looked while these went by: they are gone, as on the wire.
    ChipSetNibbleHold(2);
    ASSERT_EQ(ChipQueueForProgram({0x11, 0x22, 0x33}), 3);
    Sleep(50);
    EXPECT_FALSE(ChipSending());
    EXPECT_EQ(ChipRegister(18), 0x0A) << "the last low nibble (3) stays";
}

// The base's grace for a reader the machine holds off: a late reader that keeps reading loses nothing, the
// same reader without the grace loses bytes, and a reader that stopped holds the base up no longer than the
// grace.
TEST_F(ChannelTest, BaseWaitsForALateReaderOnlyWhileItKeepsReading) {
    ChannelReader reader(&inbound, &device);
    const std::vector<uint8_t> bytes = {0x96, 0x5A, 0x0F, 0xC3};
    auto readSlowly = [&] {
        reader.Step();
        ChipQueueForProgram(bytes);
        for (int step = 0; step < 100 && ChipSending(); ++step) {
            Sleep(60); // longer than a whole byte's two holds
            reader.Step();
        }
        return Drain(inbound);
    };

    ChipSetNibbleHold(20);
    EXPECT_EQ(Hex(readSlowly()), Hex(bytes));
    ReaderTiming timing = ChipReaderTiming();
    EXPECT_EQ(timing.unread, 0u);
    EXPECT_GE(timing.heldLate, 7u) << "every nibble but perhaps the first was read after its hold";
    EXPECT_GE(timing.longestLateMs, 20u);

    ChipSetReaderGrace(0);
    EXPECT_NE(Hex(readSlowly()), Hex(bytes)) << "by the clock alone, a reader this slow misses nibbles";
    EXPECT_GT(ChipReaderTiming().unread, 0u);

    // The reader stops: the first nibble waits out the grace from the last read, the rest go by the clock.
    ChipSetReaderGrace(500);
    ChipSetNibbleHold(10);
    uint32_t unreadBefore = ChipReaderTiming().unread;
    DWORD beforeLastRead = GetTickCount();
    reader.Step();
    ChipQueueForProgram(bytes);
    EXPECT_TRUE(test::WaitUntil([] { return !ChipSending(); }, 5000))
        << "a reader that stopped holds the base up";
    EXPECT_GE(GetTickCount() - beforeLastRead, 500u) << "the grace was not given";
    EXPECT_EQ(ChipReaderTiming().unread - unreadBefore, 2 * bytes.size());

    // Unplugged, the base has no power: what it had to send is gone, and what the handset gives it meanwhile
    // waits for no reader, although the program read just before. Its eight nibbles take 80 ms by the clock;
    // a base that gave the grace would take 3 s.
    ChipSetReaderGrace(3000);
    reader.Step();
    ChipQueueForProgram(bytes);
    SimUnplug();
    EXPECT_FALSE(ChipSending());
    DWORD unplugged = GetTickCount();
    ChipQueueForProgram(bytes);
    EXPECT_TRUE(test::WaitUntil([] { return !ChipSending(); }, 5000));
    EXPECT_LT(GetTickCount() - unplugged, 1500u) << "an unplugged base waited for the reader";
    SimPlug();
}

// The writer sleeps while its pipe is empty: each write wakes it, however long it slept, and bytes written
// while it was stopped go out once it starts again (as after the set-up of a resume).
TEST_F(ChannelTest, WriterWakesForEveryWriteAndAfterARestart) {
    ChannelWriter writer(&outbound, &device);
    writer.Start(0);
    const uint8_t first[] = {0x24, 0x24};
    ASSERT_EQ(outbound.Write(first, 2), 2);
    ASSERT_TRUE(test::WaitUntil([] { return ChipReceived().size() == 2; }, 5000)) << Hex(ChipReceived());
    Sleep(300); // idle: the writer sleeps
    const uint8_t second[] = {0x03, 0x00};
    ASSERT_EQ(outbound.Write(second, 2), 2);
    ASSERT_TRUE(test::WaitUntil([] { return ChipReceived().size() == 4; }, 5000)) << Hex(ChipReceived());

    writer.Stop();
    const uint8_t third[] = {0x00, 0xfd};
    ASSERT_EQ(outbound.Write(third, 2), 2);
    writer.Start(0);
    EXPECT_TRUE(test::WaitUntil([] { return ChipReceived().size() == 6; }, 5000));
    writer.Stop();
    EXPECT_EQ(Hex(ChipReceived()), "24 24 03 00 00 FD");
    EXPECT_EQ(ChipRequestViolations(), 0u);
}

// The real threads with the simulated base, while another thread writes register 16 as the indicator
// operations do: bytes arrive whole and in order both ways, and every request is well formed. The base
// holds its nibbles 25 ms and gives a late reader its grace, as in every test: the grace stands for a PC
// that runs the time-critical reader when its tick is due, which Windows does and Wine on a busy machine
// does not (a reader stalled for a moment would lose nibbles here, but not there). How many bytes a
// reader loses with no grace, by the clock alone, is a figure of ChannelBench.
TEST_F(ChannelTest, ThreadsCarryBytesBothWaysBesideOtherRegisterUsers) {
    std::vector<uint8_t> toBase(256), toProgram(64);
    for (size_t i = 0; i < toBase.size(); ++i)
        toBase[i] = static_cast<uint8_t>(i * 7 + 3);
    for (size_t i = 0; i < toProgram.size(); ++i)
        toProgram[i] = static_cast<uint8_t>(255 - i * 5);

    std::atomic<bool> hammering{true};
    std::atomic<int> indicatorWrites{0};
    std::thread indicators([&] {
        for (int value = 0; hammering; ++value) {
            device.LockRegisters();
            WriteRegister(16, value & 0x0F);
            device.UnlockRegisters();
            ++indicatorWrites;
            // About a write a millisecond, several between two reader ticks. Wine does not enforce thread
            // priorities: a loop that never sleeps can keep the time-critical reader from the lock for
            // longer than a nibble stands, which on Windows the reader's priority prevents.
            Sleep(1);
        }
    });

    ChannelReader reader(&inbound, &device);
    ChannelWriter writer(&outbound, &device);
    reader.Start(0);
    writer.Start(0);
    ASSERT_EQ(outbound.Write(toBase.data(), static_cast<int>(toBase.size())),
              static_cast<int>(toBase.size()));
    ASSERT_EQ(ChipQueueForProgram(toProgram), static_cast<int>(toProgram.size()));

    std::vector<uint8_t> atProgram;
    bool done = test::WaitUntil(
        [&] {
            std::vector<uint8_t> more = Drain(inbound);
            atProgram.insert(atProgram.end(), more.begin(), more.end());
            return ChipReceived().size() >= toBase.size() && !ChipSending();
        },
        30000);
    reader.Stop();
    writer.Stop();
    hammering = false;
    indicators.join();
    std::vector<uint8_t> more = Drain(inbound);
    atProgram.insert(atProgram.end(), more.begin(), more.end());

    EXPECT_TRUE(done) << "the channel did not finish within 30 s";
    EXPECT_EQ(Hex(ChipReceived()), Hex(toBase));
    EXPECT_EQ(Hex(atProgram), Hex(toProgram));
    EXPECT_EQ(ChipRequestViolations(), 0u);
    EXPECT_GT(indicatorWrites, 100) << "the other register user hardly ran";
}

} // namespace
