#pragma once
// The frames exchanged with the base's microcontroller, apart from how their bytes are read: what makes a
// frame whole and good, and what a good frame from the base means for the handset. Plain C++, so that it
// also builds natively for fuzzing.
#include <cstdint>

// Frame commands.
enum PacketCommand : uint8_t {
    CmdInit = 0,
    CmdKey = 1,
    CmdRelease = 2,
    CmdReleaseAck = 3,
    CmdConnect = 4,
    CmdIncomingCall = 5,
    CmdDisplay = 10,
    CmdKeyNotice = 11,
    CmdRaw = 'x',
};

constexpr uint8_t FrameStart = 0x24;
constexpr int FrameOverhead = 5;     // '$', '$', length, command, checksum
constexpr int FrameHeaderLength = 3; // '$', '$', length
constexpr int DisplayWidth = 12;     // characters the handset shows
// Per phase, the header and then the body: at most MaxReceiveAttempts bytes, taken within
// MaxReceiveAttempts pauses of ReceivePauseMs (once one byte per pause).
constexpr int MaxReceiveAttempts = 19;
constexpr int ReceivePauseMs = 50;
// The length byte counts itself and the command, so a payload is at most 253 bytes.
constexpr int MaxPayloadLength = 255 - 2;
// What ReceivePacket may copy: the body of a frame cannot take more than one phase's attempts.
constexpr int ReceiveBufferSize = MaxReceiveAttempts;
// Room for the longest frame a length byte can announce.
constexpr int MaxFrameLength = FrameHeaderLength + 255;

// Two's complement of the 8-bit sum, so that the bytes and the checksum add up to 0.
uint8_t FrameChecksum(const uint8_t* bytes, int count);

// Whether a header's first two bytes are the start markers.
bool HasFrameStart(const uint8_t* header);
// The whole frame's length, header included, that a header's length byte announces.
int AnnouncedFrameLength(const uint8_t* header);

enum class FrameVerdict {
    Good,
    NoCommand,   // the length byte leaves no room for a command
    TooLong,     // the body is more than a receive buffer holds
    BadChecksum, // the bytes do not add up to 0
};

// Judges a whole frame: AnnouncedFrameLength(frame) bytes from its first start marker on.
FrameVerdict CheckFrame(const uint8_t* frame);
// For a good frame: fills buffer (ReceiveBufferSize bytes) with the payload, the checksum and a zero byte,
// sets length to the length byte and answers the command.
int TakePayload(const uint8_t* frame, uint8_t* buffer, int* length);

// What the handset event thread makes of one received frame.
struct HandsetFrameEvent {
    int result = 0;         // nonzero: the frame was a handset event
    int32_t eventCode = -1; // the event's code, -1 when the frame carries none
    bool acknowledge = false;
    uint8_t acknowledgeByte = 0; // the payload of the CmdReleaseAck to send when acknowledge is set
};

constexpr int32_t ReleaseEventCode = 'B';
constexpr int32_t ConnectEventCode = 'C';

// Decodes what ReceivePacket answered (command 0: nothing or a bad frame) with its payload and length.
HandsetFrameEvent DecodeHandsetFrame(int command, const uint8_t* payload, int length);
