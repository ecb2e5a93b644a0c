// The frame checks on whole frames given at once, as no paced read can deliver them: bodies longer than a
// receive buffer, and the payload copy's exact extent.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "dect/FrameParser.h"
#include "tests/dect/DectTestSupport.h"

using dect_test::Hex;

namespace {

// A frame with a correct checksum for command and payload.
std::vector<uint8_t> Frame(uint8_t command, const std::vector<uint8_t>& payload) {
    int bodyLength = static_cast<int>(payload.size()) + 2;
    std::vector<uint8_t> frame(payload.size() + FrameOverhead);
    frame[0] = FrameStart;
    frame[1] = FrameStart;
    frame[2] = static_cast<uint8_t>(bodyLength);
    frame[3] = command;
    std::copy(payload.begin(), payload.end(), frame.begin() + 4);
    frame.back() = FrameChecksum(frame.data() + 2, bodyLength);
    return frame;
}

} // namespace

TEST(FrameParser, VerdictsOnWholeFrames) {
    std::vector<uint8_t> key = {0x24, 0x24, 0x05, 0x01, 0x00, 0x01, 0x35, 0xc4};
    EXPECT_TRUE(HasFrameStart(key.data()));
    EXPECT_EQ(8, AnnouncedFrameLength(key.data()));
    EXPECT_EQ(FrameVerdict::Good, CheckFrame(key.data()));
    key[7] = 0xc5;
    EXPECT_EQ(FrameVerdict::BadChecksum, CheckFrame(key.data()));
    // Length bytes 0 and 1 would "add up" with a zero checksum, yet carry no command.
    std::vector<uint8_t> empty = {0x24, 0x24, 0x00, 0x00};
    EXPECT_EQ(FrameVerdict::NoCommand, CheckFrame(empty.data()));
    std::vector<uint8_t> one = {0x24, 0x24, 0x01, 0xff};
    EXPECT_EQ(FrameVerdict::NoCommand, CheckFrame(one.data()));
    std::vector<uint8_t> marker = {0x24, 0x23, 0x03};
    EXPECT_FALSE(HasFrameStart(marker.data()));
}

// A body of 20 bytes with a correct checksum would overrun the receiver's 19-byte buffer: it is refused
// whatever its checksum; 19 is the most that is taken.
TEST(FrameParser, BodyBeyondTheReceiveBufferIsRefused) {
    std::vector<uint8_t> longest = Frame(0x30, std::vector<uint8_t>(ReceiveBufferSize - 2, 0x41));
    EXPECT_EQ(FrameVerdict::Good, CheckFrame(longest.data()));
    std::vector<uint8_t> tooLong = Frame(0x30, std::vector<uint8_t>(ReceiveBufferSize - 1, 0x41));
    EXPECT_EQ(FrameVerdict::TooLong, CheckFrame(tooLong.data()));
    std::vector<uint8_t> announced = Frame(0x30, std::vector<uint8_t>(253, 0x41));
    EXPECT_EQ(FrameVerdict::TooLong, CheckFrame(announced.data()));
}

// The copy is the payload, the checksum and a zero byte: the length byte's count, never more.
TEST(FrameParser, PayloadCopyCoversTheLengthByteCount) {
    std::vector<uint8_t> frame = Frame(CmdKey, {0x00, 0x01, 0x35});
    std::vector<uint8_t> buffer(ReceiveBufferSize + 1, 0xEE);
    int length = -1;
    EXPECT_EQ(CmdKey, TakePayload(frame.data(), buffer.data(), &length));
    EXPECT_EQ(5, length);
    EXPECT_EQ("00 01 35 c4 00 ee", Hex(buffer.data(), 6));
    std::vector<uint8_t> longest = Frame(0x30, std::vector<uint8_t>(ReceiveBufferSize - 2, 0x41));
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_EQ(0x30, TakePayload(longest.data(), buffer.data(), &length));
    EXPECT_EQ(ReceiveBufferSize, length);
    EXPECT_EQ(0, buffer[ReceiveBufferSize - 1]);
    EXPECT_EQ(0xEE, buffer[ReceiveBufferSize]) << "copied past the receive buffer";
}

// What each frame from the base means for the handset, frames too short for their command included.
TEST(FrameParser, HandsetEventsOfEachCommand) {
    struct Case {
        int command;
        std::vector<uint8_t> payload;
        int result;
        int32_t eventCode;
        bool acknowledge;
    };
    const Case cases[] = {
        {0, {}, 0, -1, false},
        {CmdKey, {0x00, 0x01, '5'}, 1, '5', false},
        {CmdKey, {0x00, 0x02, '5'}, 0, -1, false},
        {CmdKey, {0x00, 0x01}, 0, -1, false},
        {CmdRelease, {0x07}, 1, ReleaseEventCode, true},
        {CmdRelease, {}, 0, -1, false},
        {CmdConnect, {}, 1, ConnectEventCode, false},
        {CmdKeyNotice, {0x00, 0x01, '#'}, 1, '#', false},
        {CmdKeyNotice, {0x00, 0x00, '#'}, 1, -1, false},
        {CmdKeyNotice, {0x00, 0x01}, 0, -1, false},
        {CmdReleaseAck, {0x07}, 0, -1, false},
        {0x30, {0x00, 0x01, '5'}, 0, -1, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> payload = c.payload;
        payload.resize(ReceiveBufferSize, 0);
        HandsetFrameEvent event =
            DecodeHandsetFrame(c.command, payload.data(), static_cast<int>(c.payload.size()) + 2);
        SCOPED_TRACE("command " + std::to_string(c.command) + " payload " + Hex(c.payload));
        EXPECT_EQ(c.result, event.result);
        EXPECT_EQ(c.eventCode, event.eventCode);
        EXPECT_EQ(c.acknowledge, event.acknowledge);
        if (c.acknowledge) {
            EXPECT_EQ(c.payload[0], event.acknowledgeByte);
        }
    }
}
