#pragma once
// The packet layer to the base's microcontroller: frames with a start marker, a length and a checksum.
#include <windows.h>

#include <cstdint>

#include "dect/FrameParser.h"

class PhoneDevice;

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
    // Set when bytes arrive for ReadBytes, so that a reader can wait for them; none when the link cannot
    // tell.
    virtual HANDLE InboundEvent() { return nullptr; }
    // Whether ReceivePacket dropped bytes of a frame since the last asking (a bad checksum, a start that is
    // no frame's, a frame cut short): something the base sent, a key perhaps, is lost. Asked and answered
    // on the thread that receives.
    bool TakeFrameLost();

  protected:
    PhoneDevice* device;

  private:
    bool frameLost = false;
};
