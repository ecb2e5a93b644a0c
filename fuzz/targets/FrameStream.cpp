// The frame parser over any byte stream from the base. The stream is read as the packet link reads it (one
// byte per attempt, 19 attempts per phase, attempts that may find nothing), each received frame is decoded
// as the handset event thread decodes it, and every frame is also judged whole. The first input byte sets
// how often an attempt finds nothing; the rest is the stream.
#include <algorithm>
#include <memory>
#include <vector>

#include "dect/FrameParser.h"
#include "fuzz/FuzzTarget.h"

namespace {

// The base's side of the byte channel: every gapPeriod-th attempt finds the pipe empty.
class Stream {
  public:
    Stream(const uint8_t* bytes, size_t size, unsigned gapPeriod)
        : bytes(bytes), size(size), gap(gapPeriod) {}
    bool Read(uint8_t& byte) {
        ++attempts;
        if (gap > 1 && attempts % gap == 0)
            return false;
        if (offset >= size)
            return false;
        byte = bytes[offset++];
        return true;
    }
    size_t Offset() const { return offset; }
    bool Ended() const { return offset >= size; }

  private:
    const uint8_t* bytes;
    size_t size;
    unsigned gap;
    unsigned long attempts = 0;
    size_t offset = 0;
};

// The sum of a frame's counted bytes and its checksum, taken here without the parser's help.
bool AddsUp(const uint8_t* frame, int bodyLength) {
    unsigned sum = 0;
    for (int i = 2; i <= bodyLength + 2; ++i)
        sum += frame[i];
    return sum % 256 == 0;
}

// What makes a frame one to act on: start markers, a command, a body the receive buffer holds, a checksum
// that adds up.
bool Acceptable(const uint8_t* frame) {
    int bodyLength = frame[2];
    return frame[0] == FrameStart && frame[1] == FrameStart && bodyLength >= 2 &&
           bodyLength <= ReceiveBufferSize && AddsUp(frame, bodyLength);
}

bool ReadPaced(Stream& stream, uint8_t* frame, int& count, int wanted) {
    for (int attempt = 0; attempt < MaxReceiveAttempts && count < wanted; ++attempt)
        if (stream.Read(frame[count]))
            ++count;
    return count >= wanted;
}

// One receive as the link does it; answers the command of a good frame, or 0.
int Receive(Stream& stream, uint8_t* payload, int* length, std::vector<uint8_t>& taken) {
    uint8_t frame[MaxFrameLength] = {};
    int count = 0;
    taken.clear();
    if (!stream.Read(frame[0]))
        return 0;
    count = 1;
    int result = 0;
    if (ReadPaced(stream, frame, count, FrameHeaderLength) && HasFrameStart(frame) &&
        ReadPaced(stream, frame, count, AnnouncedFrameLength(frame)) &&
        CheckFrame(frame) == FrameVerdict::Good)
        result = TakePayload(frame, payload, length);
    taken.assign(frame, frame + count);
    return result;
}

void CheckEvent(int command, const uint8_t* payload, int length) {
    HandsetFrameEvent event = DecodeHandsetFrame(command, payload, length);
    FUZZ_CHECK(event.eventCode >= -1 && event.eventCode <= 255);
    FUZZ_CHECK(event.result == 0 || event.result == 1);
    if (!event.result) {
        FUZZ_CHECK(!event.acknowledge);
        return;
    }
    int payloadLength = length - 2;
    switch (command) {
    case CmdKey:
        FUZZ_CHECK(payloadLength >= 3 && payload[1] == 1 && event.eventCode == payload[2]);
        break;
    case CmdKeyNotice:
        FUZZ_CHECK(payloadLength >= 3);
        FUZZ_CHECK(event.eventCode == (payload[1] == 1 ? payload[2] : -1));
        break;
    case CmdRelease:
        FUZZ_CHECK(payloadLength >= 1 && event.acknowledge && event.acknowledgeByte == payload[0]);
        FUZZ_CHECK(event.eventCode == ReleaseEventCode);
        break;
    case CmdConnect:
        FUZZ_CHECK(event.eventCode == ConnectEventCode);
        break;
    default:
        FUZZ_CHECK(!"an event from a command the handset does not send");
    }
    FUZZ_CHECK(event.acknowledge == (command == CmdRelease));
}

// Every place in the stream judged as a whole frame, in a buffer of exactly the announced length plus
// nothing, so that a read beyond the frame shows.
void JudgeWholeFrames(const uint8_t* bytes, size_t size) {
    for (size_t at = 0; at + FrameHeaderLength <= size; ++at) {
        if (bytes[at] != FrameStart)
            continue;
        size_t whole = static_cast<size_t>(AnnouncedFrameLength(bytes + at));
        if (at + whole > size || whole < FrameHeaderLength + 1)
            continue;
        std::unique_ptr<uint8_t[]> frame(new uint8_t[whole]);
        std::copy(bytes + at, bytes + at + whole, frame.get());
        if (!HasFrameStart(frame.get()))
            continue;
        bool good = CheckFrame(frame.get()) == FrameVerdict::Good;
        FUZZ_CHECK(good == Acceptable(frame.get()));
        if (!good)
            continue;
        std::unique_ptr<uint8_t[]> payload(new uint8_t[ReceiveBufferSize]);
        int length = -1;
        FUZZ_CHECK(TakePayload(frame.get(), payload.get(), &length) == frame[3]);
        FUZZ_CHECK(length == frame[2]);
        CheckEvent(frame[3], payload.get(), length);
    }
}

} // namespace

FUZZ_TARGET(FrameStream) {
    FuzzInput input(data, size);
    unsigned gapPeriod = input.Byte() % 8;
    const uint8_t* bytes = input.Rest();
    size_t byteCount = input.RestSize();
    Stream stream(bytes, byteCount, gapPeriod);
    std::vector<uint8_t> taken;
    // Each receive either finds the pipe empty or takes bytes; the stream ends after a bounded number.
    for (size_t receives = 0; !stream.Ended(); ++receives) {
        FUZZ_CHECK(receives <= 2 * byteCount + 2);
        // Exactly the receive buffer's size, so that a copy past it shows.
        std::unique_ptr<uint8_t[]> payload(new uint8_t[ReceiveBufferSize]);
        int length = -1;
        size_t before = stream.Offset();
        int command = Receive(stream, payload.get(), &length, taken);
        size_t consumed = stream.Offset() - before;
        FUZZ_CHECK(consumed == taken.size());
        FUZZ_CHECK(consumed <= static_cast<size_t>(FrameHeaderLength + MaxReceiveAttempts));
        if (command != 0) {
            // Acted on only when the frame as it came from the stream holds.
            FUZZ_CHECK(consumed == static_cast<size_t>(taken[2]) + FrameHeaderLength);
            FUZZ_CHECK(Acceptable(taken.data()));
            FUZZ_CHECK(command == taken[3]);
            FUZZ_CHECK(length == taken[2]);
            FUZZ_CHECK(std::equal(taken.begin() + 4, taken.end() - 1, payload.get()));
            CheckEvent(command, payload.get(), length);
        } else {
            // Nothing, a bad frame, or a good frame of command 0 (which carries no event).
            FUZZ_CHECK(length == -1 || (Acceptable(taken.data()) && taken[3] == 0 && length == taken[2]));
            CheckEvent(0, payload.get(), 0);
        }
    }
    JudgeWholeFrames(bytes, byteCount);
    return 0;
}
