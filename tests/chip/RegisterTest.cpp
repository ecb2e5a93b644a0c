// Single-byte register access through the simulated library, and the library's checks of the requests.
#include <cstring>

#include "chip/Registers.h"
#include "sim/control/ChipControl.h"
#include "tests/chip/SimLibraryTest.h"

namespace {

class RegisterTest : public SimLibraryTest {};

TEST_F(RegisterTest, WritesAndReadsOneByteWithoutViolations) {
    EXPECT_EQ(WriteRegister(19, 0x15A), 1);
    EXPECT_EQ(ChipRegister(19), 0x5A) << "only the low byte of the value is written";
    uint8_t value = 0;
    EXPECT_EQ(ReadRegister(19, &value), 1);
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(ChipRequestViolations(), 0u);
}

TEST_F(RegisterTest, MalformedRequestsAreCountedAndNotActedOn) {
    ChipSetRegister(19, 0x11);
    uint8_t data = 0x77;
    RegisterRequest good = {};
    good.kind = RequestKind;
    good.reg = 19;
    good.count = 1;
    good.direction = RequestWrite;
    good.marker = WriteMarker;
    good.countAgain = 1;
    good.data = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(&data));
    struct Case {
        const char* fault;
        void (*spoil)(RegisterRequest&);
    };
    const Case cases[] = {
        {"kind 3", [](RegisterRequest& r) { r.kind = 3; }},
        {"bytes 2-3 not zero", [](RegisterRequest& r) { r.zero = 1; }},
        {"register 40", [](RegisterRequest& r) { r.reg = 40; }},
        {"direction 2", [](RegisterRequest& r) { r.direction = 2; }},
        {"both counts 2", [](RegisterRequest& r) { r.count = r.countAgain = 2; }},
        {"counts differ", [](RegisterRequest& r) { r.countAgain = 0; }},
        {"write without marker", [](RegisterRequest& r) { r.marker = 0; }},
        {"no data address", [](RegisterRequest& r) { r.data = 0; }},
    };
    uint32_t violations = 0;
    for (const Case& c : cases) {
        RegisterRequest request = good;
        c.spoil(request);
        EXPECT_EQ(RegisterTransfer(&request), 0) << c.fault;
        EXPECT_EQ(ChipRequestViolations(), ++violations) << c.fault;
        EXPECT_EQ(ChipRegister(19), 0x11) << c.fault << " was acted on";
    }
    EXPECT_EQ(RegisterTransfer(nullptr), 0);
    EXPECT_EQ(ChipRequestViolations(), ++violations) << "a missing request";

    // The same record unspoilt goes through; a read needs no marker.
    RegisterRequest request = good;
    EXPECT_EQ(RegisterTransfer(&request), 1);
    EXPECT_EQ(ChipRegister(19), 0x77);
    request.direction = RequestRead;
    request.marker = 0;
    data = 0;
    EXPECT_EQ(RegisterTransfer(&request), 1);
    EXPECT_EQ(data, 0x77);
    EXPECT_EQ(ChipRequestViolations(), violations);
}

TEST_F(RegisterTest, UnpluggedBaseAnswersNothing) {
    ChipSetRegister(19, 0x11);
    WithSim([](SimState& state) { state.config.plugged = 0; });
    EXPECT_EQ(WriteRegister(19, 0x22), 0);
    EXPECT_EQ(ChipRegister(19), 0x11);
    uint8_t value = 0xEE;
    EXPECT_EQ(ReadRegister(19, &value), 0);
    EXPECT_EQ(value, 0xEE) << "a read from an unplugged base leaves the byte alone";
    EXPECT_EQ(ChipRequestViolations(), 0u) << "well-formed requests are no violations, plugged or not";
}

} // namespace
