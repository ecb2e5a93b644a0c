#pragma once
// The packet layer to the base's microcontroller: frames with a start marker, a length and a checksum.
#include <cstdint>

class PhoneDevice;

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
constexpr int FrameOverhead = 5;       // '$', '$', length, command, checksum
constexpr int FrameHeaderLength = 3;   // '$', '$', length
constexpr int DisplayWidth = 12;       // characters the handset shows
constexpr int MaxReceiveAttempts = 19; // per phase: the header, then the body
constexpr int ReceivePauseMs = 50;
// The length byte counts itself and the command, so a payload is at most 253 bytes.
constexpr int MaxPayloadLength = 255 - 2;
// What ReceivePacket may copy: the body of a frame cannot take more than one phase's attempts.
constexpr int ReceiveBufferSize = MaxReceiveAttempts;

// Two's complement of the 8-bit sum, so that the bytes and the checksum add up to 0.
uint8_t FrameChecksum(const uint8_t* bytes, int count);

class PacketLink {
  public:
    explicit PacketLink(PhoneDevice* device) : device(device) {}
    virtual ~PacketLink() = default;
    virtual int Open() = 0;
    virtual int Close() = 0;
    // Frames the payload and writes it in one piece; answers the bytes written. CmdRaw sends the payload
    // bare. A payload longer than MaxPayloadLength is not sent.
    virtual int SendPacket(uint8_t command, const uint8_t* payload, int length);
    // Answers the command of one good frame, or 0; buffer (ReceiveBufferSize bytes) receives the payload
    // and length the frame's length byte. Answers 0 at once when nothing waits.
    virtual int ReceivePacket(uint8_t* buffer, int* length);
    virtual int ShowText(const char* text) = 0;
    virtual void SetCallIndicator(int flag) = 0;
    virtual void SetSkypeIndicator(int flag) = 0;
    virtual int SendConnect() = 0;
    virtual int SendRelease() = 0;
    virtual int SendIncomingCall(const char* text) = 0;
    virtual int WriteBytes(const uint8_t* data, int count) = 0;
    virtual int ReadBytes(uint8_t* buffer, int count) = 0;

  protected:
    PhoneDevice* device;
};
