// The packet layer tells when it dropped bytes the base sent: a key may be missing. Every way a frame is
// dropped counts once; a good frame, an empty channel and a good frame of a command the program ignores
// do not.
#include <gtest/gtest.h>

#include "tests/dect/DectTestSupport.h"

using dect_test::Hex;
using dect_test::MemoryLink;

TEST(FrameLost, EveryDroppedFrameIsToldOnceAndNothingElseIs) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool lost;
    };
    const Case cases[] = {
        {"a good key frame", {0x24, 0x24, 0x05, 0x01, 0x00, 0x01, 0x35, 0xc4}, false},
        {"a good frame of an unknown command", {0x24, 0x24, 0x02, 0x30, 0xce}, false},
        {"nothing", {}, false},
        {"a checksum one off", {0x24, 0x24, 0x05, 0x01, 0x00, 0x01, 0x35, 0xc5}, true},
        {"a start that is no frame's", {0x24, 0x05, 0x01}, true},
        {"a length that leaves no command", {0x24, 0x24, 0x01, 0xff}, true},
        {"a lone byte", {0x24}, true},
        {"a frame cut off in its body", {0x24, 0x24, 0x05, 0x01}, true},
    };
    for (const Case& c : cases) {
        MemoryLink link;
        link.input.assign(c.bytes.begin(), c.bytes.end());
        uint8_t buffer[ReceiveBufferSize];
        int length = 0;
        link.ReceivePacket(buffer, &length);
        EXPECT_EQ(link.TakeFrameLost(), c.lost) << c.what << ": " << Hex(c.bytes);
        EXPECT_FALSE(link.TakeFrameLost()) << c.what << ": told twice";
    }

    // A drop is told even when a good frame follows before anyone asks.
    MemoryLink link;
    link.input = {0x24, 0x24, 0x03, 0x04, 0x01, 0xf7, 0x24, 0x24, 0x03, 0x04, 0x01, 0xf8};
    uint8_t buffer[ReceiveBufferSize];
    int length = 0;
    EXPECT_EQ(0, link.ReceivePacket(buffer, &length));
    EXPECT_EQ(CmdConnect, link.ReceivePacket(buffer, &length));
    EXPECT_TRUE(link.TakeFrameLost());
}
