#pragma once
// The packet link over the register byte channel: two pipes and the two polling threads.
#include "dect/ChannelReader.h"
#include "dect/ChannelWriter.h"
#include "dect/PacketLink.h"
#include "dect/PipePair.h"

class DectLink : public PacketLink {
  public:
    explicit DectLink(PhoneDevice* device);
    ~DectLink() override;
    int Open() override;
    int Close() override;
    int ShowText(const char* text) override;
    void SetCallIndicator(int flag) override;
    void SetSkypeIndicator(int flag) override;
    int SendConnect() override;
    int SendRelease() override;
    int SendIncomingCall(const char* text) override;
    int WriteBytes(const uint8_t* data, int count) override;
    int ReadBytes(uint8_t* buffer, int count) override;
    HANDLE InboundEvent() override;

    // Stops the writer between bytes, finishing a byte whose high nibble stands, so that the channel
    // registers can be set up again without cutting a byte in two; ResumeWriter lets it go on. The caller
    // must not hold the register lock.
    void HoldWriter();
    void ResumeWriter();

  private:
    void SetIndicator(uint8_t bit, int on);

    ChannelReader* reader;
    ChannelWriter* writer;
    PipePair* inbound;
    PipePair* outbound;
};
