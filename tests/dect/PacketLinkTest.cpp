// The packet layer over memory: the cases the simulated base cannot produce on its own (a refused write,
// oversized payloads), the framing faults whose bytes must be fed exactly, and bytes fed through a pipe
// while a frame is being received.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "dect/PipePair.h"
#include "tests/dect/DectTestSupport.h"

using dect_test::Hex;
using dect_test::Joined;
using dect_test::MemoryLink;
using dect_test::TraceCapture;

namespace {

std::vector<std::string> Expected(std::initializer_list<const char*> lines) {
    return std::vector<std::string>(lines.begin(), lines.end());
}

} // namespace

TEST(PacketLinkSend, RawCommandWritesThePayloadBareInOneWrite) {
    TraceCapture trace("raw");
    MemoryLink link;
    const uint8_t bytes[] = {0x24, 0x24, 0x99};
    EXPECT_EQ(3, link.SendPacket(CmdRaw, bytes, 3));
    ASSERT_EQ(1u, link.writes.size());
    EXPECT_EQ("24 24 99", Hex(link.writes[0]));
    EXPECT_EQ(Expected({"[MAIN -> DECT] : 24 24 99 "}), trace.Lines()) << Joined(trace.Lines());
}

TEST(PacketLinkSend, NothingWrittenLogsFail) {
    TraceCapture trace("refused");
    MemoryLink link;
    link.refuseWrites = true;
    EXPECT_EQ(0, link.SendRelease());
    EXPECT_EQ(Expected({"[MAIN -> DECT] : fail"}), trace.Lines()) << Joined(trace.Lines());
}

TEST(PacketLinkSend, PayloadBeyondTheLengthByteIsNotSent) {
    TraceCapture trace("oversize");
    MemoryLink link;
    std::vector<uint8_t> payload(MaxPayloadLength + 1, 0x41);
    EXPECT_EQ(0, link.SendPacket(CmdDisplay, payload.data(), static_cast<int>(payload.size())));
    EXPECT_TRUE(link.writes.empty()) << "a frame went out";
    // The longest payload that fits still goes out, its length byte 0xff.
    payload.pop_back();
    EXPECT_EQ(MaxPayloadLength + FrameOverhead,
              link.SendPacket(CmdDisplay, payload.data(), static_cast<int>(payload.size())));
    ASSERT_EQ(1u, link.writes.size());
    EXPECT_EQ(0xff, link.writes[0][2]);
    EXPECT_EQ(FrameChecksum(link.writes[0].data() + 2, 255), link.writes[0].back());
    std::vector<std::string> lines = trace.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("[MAIN -> DECT] : fail", lines[0]) << Joined(lines);
}

TEST(PacketLinkSend, MissingTextShowsBlanks) {
    MemoryLink link;
    link.ShowText(nullptr);
    link.SendIncomingCall(nullptr);
    ASSERT_EQ(2u, link.writes.size());
    EXPECT_EQ("24 24 10 0a 01 0c 20 20 20 20 20 20 20 20 20 20 20 20 " +
                  Hex({FrameChecksum(link.writes[0].data() + 2, 16)}),
              Hex(link.writes[0]));
    EXPECT_EQ("24 24 14 05 81 02 30 30 01 3c 00 20 20 20 20 20 20 20 20 20 20 20 " +
                  Hex({FrameChecksum(link.writes[1].data() + 2, 20)}),
              Hex(link.writes[1]));
}

TEST(PacketLinkReceive, HeaderWithoutStartMarkersIsDroppedSilently) {
    TraceCapture trace("nomarker");
    MemoryLink link;
    link.input = {0x24, 0x11, 0x05, 0x24, 0x24, 0x03, 0x04, 0x01, 0xf8};
    uint8_t buffer[ReceiveBufferSize];
    int length = -1;
    EXPECT_EQ(0, link.ReceivePacket(buffer, &length));
    EXPECT_EQ(6u, link.input.size()) << "the header's three bytes, no more, are dropped";
    EXPECT_TRUE(trace.Lines().empty()) << Joined(trace.Lines());
    // The next call starts at the following byte and finds the frame.
    EXPECT_EQ(CmdConnect, link.ReceivePacket(buffer, &length));
    EXPECT_EQ(3, length);
    EXPECT_EQ(Expected({"[DECT -> MAIN] : 24 24 03 04 01 f8 "}), trace.Lines()) << Joined(trace.Lines());
}

TEST(PacketLinkReceive, LoneByteRunsOutOfHeaderAttempts) {
    TraceCapture trace("lonebyte");
    MemoryLink link;
    link.input = {0x24};
    uint8_t buffer[ReceiveBufferSize];
    int length = -1;
    DWORD start = GetTickCount();
    EXPECT_EQ(0, link.ReceivePacket(buffer, &length));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, static_cast<DWORD>(MaxReceiveAttempts * ReceivePauseMs - 20)) << "19 paced attempts";
    EXPECT_EQ(-1, length);
    EXPECT_EQ(Expected({"1.Reach max read times..."}), trace.Lines()) << Joined(trace.Lines());
}

// A link whose bytes come through a real pipe, written from another thread, and which tells when they come.
class PipeFedLink : public MemoryLink {
  public:
    PipeFedLink() { pipe.Create(); }
    ~PipeFedLink() override { pipe.Close(); }
    int ReadBytes(uint8_t* buffer, int count) override { return pipe.Read(buffer, count); }
    HANDLE InboundEvent() override { return pipe.dataEvent; }

    PipePair pipe;
};

// The bytes of a frame are taken as soon as they are there, not one per pause: here the first byte is
// there at once and the other seven come together a moment later, which paced attempts would have taken
// seven pauses (350 ms) to collect.
TEST(PacketLinkReceive, BytesAreTakenAsSoonAsTheyCome) {
    TraceCapture trace("asTheyCome");
    PipeFedLink link;
    const uint8_t frame[] = {0x24, 0x24, 0x05, 0x01, 0x00, 0x01, 0x35, 0xc4};
    ASSERT_EQ(1, link.pipe.Write(frame, 1));
    std::atomic<DWORD> rest{0};
    std::thread base([&] {
        Sleep(30);
        rest = GetTickCount();
        link.pipe.Write(frame + 1, sizeof frame - 1);
    });
    uint8_t buffer[ReceiveBufferSize];
    int length = -1;
    EXPECT_EQ(CmdKey, link.ReceivePacket(buffer, &length));
    DWORD taken = GetTickCount() - rest;
    base.join();
    EXPECT_LT(taken, static_cast<DWORD>(6 * ReceivePauseMs)) << "the bytes were not taken as they came";
    EXPECT_EQ(5, length);
    EXPECT_EQ("00 01 35", Hex(buffer, 3));
    EXPECT_EQ(Expected({"[DECT -> MAIN] : 24 24 05 01 00 01 35 c4 "}), trace.Lines())
        << Joined(trace.Lines());
}

// Bytes that stop coming are given up after the same time as before, 19 pauses a phase, with the same log.
TEST(PacketLinkReceive, FrameCutOffInItsBodyIsGivenUpAfterNineteenPauses) {
    TraceCapture trace("cutoff");
    PipeFedLink link;
    const uint8_t start[] = {0x24, 0x24, 0x05, 0x01};
    ASSERT_EQ(4, link.pipe.Write(start, sizeof start));
    uint8_t buffer[ReceiveBufferSize];
    int length = -1;
    DWORD begun = GetTickCount();
    EXPECT_EQ(0, link.ReceivePacket(buffer, &length));
    EXPECT_GE(GetTickCount() - begun, static_cast<DWORD>(MaxReceiveAttempts * ReceivePauseMs - 20));
    EXPECT_EQ(-1, length);
    EXPECT_EQ(Expected({"2.Reach max read times"}), trace.Lines()) << Joined(trace.Lines());
}

// Whatever the length byte says, at most 19 body bytes are taken and the frame buffer holds them.
TEST(PacketLinkReceive, LongestLengthByteTakesNineteenBodyBytes) {
    TraceCapture trace("length255");
    MemoryLink link;
    link.input = {0x24, 0x24, 0xff};
    for (int i = 0; i < 255; ++i)
        link.input.push_back(static_cast<uint8_t>(i));
    uint8_t buffer[ReceiveBufferSize + 1];
    buffer[ReceiveBufferSize] = 0xEE;
    int length = -1;
    EXPECT_EQ(0, link.ReceivePacket(buffer, &length));
    EXPECT_EQ(255u - MaxReceiveAttempts, link.input.size());
    EXPECT_EQ(0xEE, buffer[ReceiveBufferSize]) << "nothing copied past the caller's buffer";
    EXPECT_EQ(Expected({"2.Reach max read times"}), trace.Lines()) << Joined(trace.Lines());
}

// A length of 19, the most a frame from the base can carry, fills the caller's buffer exactly.
TEST(PacketLinkReceive, NineteenByteBodyFillsTheBufferExactly) {
    MemoryLink link;
    std::vector<uint8_t> frame = {0x24, 0x24, 19, 0x30};
    for (int i = 0; i < 17; ++i)
        frame.push_back(static_cast<uint8_t>(0x40 + i));
    frame.push_back(FrameChecksum(frame.data() + 2, 19));
    link.input.assign(frame.begin(), frame.end());
    uint8_t buffer[ReceiveBufferSize + 1];
    buffer[ReceiveBufferSize] = 0xEE;
    int length = -1;
    EXPECT_EQ(0x30, link.ReceivePacket(buffer, &length));
    EXPECT_EQ(19, length);
    EXPECT_EQ(Hex(frame.data() + 4, 17), Hex(buffer, 17));
    EXPECT_EQ(0xEE, buffer[ReceiveBufferSize]);
}

// Length bytes 0 and 1 leave no room for a command; their "checksum" would match but no command came.
TEST(PacketLinkReceive, FrameWithoutCommandIsDropped) {
    TraceCapture trace("nocommand");
    MemoryLink link;
    link.input = {0x24, 0x24, 0x00, 0x24, 0x24, 0x01, 0xff};
    uint8_t buffer[ReceiveBufferSize];
    int length = -1;
    EXPECT_EQ(0, link.ReceivePacket(buffer, &length));
    EXPECT_EQ(0, link.ReceivePacket(buffer, &length));
    EXPECT_EQ(-1, length);
    EXPECT_EQ(Expected({"No command in frame, drop it", "[DECT -> MAIN] : 24 24 00 ",
                        "No command in frame, drop it", "[DECT -> MAIN] : 24 24 01 ff "}),
              trace.Lines())
        << Joined(trace.Lines());
}
