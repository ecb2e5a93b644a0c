// The 2-wire bus against the simulated base's bus slave, which sees only the register writes.
#include "chip/Bus.h"
#include "sim/control/ChipControl.h"
#include "tests/chip/SimLibraryTest.h"

namespace {

class BusTest : public SimLibraryTest {};

const uint8_t WakeUp[2] = {0xA9, 0x38};

std::vector<uint8_t> Read(int count) {
    std::vector<uint8_t> buffer(count, 0);
    EXPECT_EQ(BusRead(172, buffer.data(), count), BusDone);
    return buffer;
}

TEST_F(BusTest, WriteSendsAddressThenDataLastByteFirst) {
    EXPECT_EQ(BusWrite(171, WakeUp, 2), BusDone);
    EXPECT_EQ(Hex(ChipWireLog()), "AB 38 A9");
    EXPECT_EQ(ChipRequestViolations(), 0u);
}

TEST_F(BusTest, ReadStoresTheFirstByteReceivedAtTheEnd) {
    ChipSetIdent(0x34, 0x12); // the base sends 0x12 first, then 0x34, then an idle line
    EXPECT_EQ(Hex(Read(2)), "34 12");
    EXPECT_EQ(Hex(Read(1)), "12");
    EXPECT_EQ(Hex(Read(3)), "FF 34 12");
    EXPECT_EQ(Hex(ChipWireLog()), "AC AC AC") << "a read puts only its address on the wire";
}

TEST_F(BusTest, AbsentDeviceRefusesTheAddressAndLeavesTheBufferAlone) {
    ChipSetBusBehaviour(BusAbsent);
    uint8_t buffer[2] = {0x5A, 0xA5};
    EXPECT_EQ(BusRead(172, buffer, 2), BusAddressRefused);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[1], 0xA5);
    EXPECT_EQ(BusWrite(171, WakeUp, 2), BusAddressRefused);
    EXPECT_EQ(Hex(ChipWireLog()), "AC AB") << "no data after a refused address";
}

// With the base unplugged every register transfer fails: the bus must not read that as acknowledgements.
TEST_F(BusTest, UnpluggedBaseRefusesTheAddress) {
    WithSim([](SimState& state) { state.config.plugged = 0; });
    uint8_t buffer[2] = {0x5A, 0xA5};
    EXPECT_EQ(BusRead(172, buffer, 2), BusAddressRefused);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[1], 0xA5);
    EXPECT_EQ(BusWrite(171, WakeUp, 2), BusAddressRefused);
}

TEST_F(BusTest, UnknownAddressIsRefused) {
    uint8_t buffer[1] = {0x5A};
    EXPECT_EQ(BusRead(0x50, buffer, 1), BusAddressRefused);
    EXPECT_EQ(buffer[0], 0x5A);
}

TEST_F(BusTest, SelectIsRaisedForTheTransferAndLowAfterStop) {
    BusStart();
    EXPECT_EQ(ChipRegister(17) & 0x08, 0x08)
        << "select after BusStart, register 17 = " << int(ChipRegister(17));
    BusStop();
    EXPECT_EQ(ChipRegister(17) & 0x08, 0) << "select after BusStop, register 17 = " << int(ChipRegister(17));
    EXPECT_EQ(ChipRegister(17), register17Shadow);
    EXPECT_EQ(ChipRegister(16), register16Shadow);
    Read(2);
    EXPECT_EQ(ChipRegister(17) & 0x08, 0) << "select after BusRead";
}

TEST_F(BusTest, AsleepBaseAnswersIdent255UntilWoken) {
    ChipSetBusBehaviour(BusAsleep);
    EXPECT_EQ(Hex(Read(2)), "FF 00");
    EXPECT_FALSE(ChipWoken());
    EXPECT_EQ(BusWrite(171, WakeUp, 2), BusDone);
    EXPECT_TRUE(ChipWoken());
    EXPECT_EQ(Hex(Read(2)), "34 12");
    EXPECT_EQ(Hex(ChipWireLog()), "AC AB 38 A9 AC");
}

TEST_F(BusTest, WriteGivesUpOnADeviceThatKeepsRefusing) {
    ChipSetDataRefusals(-1);
    EXPECT_EQ(BusWrite(171, WakeUp, 2), BusDataRefused + 1);
    std::string expected = "AB";
    for (int pass = 0; pass <= BusWriteMaxRestarts; ++pass)
        expected += " 38";
    EXPECT_EQ(Hex(ChipWireLog()), expected) << "one pass and " << BusWriteMaxRestarts << " restarts";
}

TEST_F(BusTest, WriteStartsTheDataOverAfterARefusal) {
    ChipSetBusBehaviour(BusAsleep);
    ChipSetDataRefusals(1);
    EXPECT_EQ(BusWrite(171, WakeUp, 2), BusDataRefused + 1) << "the last refusal seen is reported";
    EXPECT_EQ(Hex(ChipWireLog()), "AB 38 38 A9");
    EXPECT_TRUE(ChipWoken()) << "the restarted pass went through";
}

} // namespace
