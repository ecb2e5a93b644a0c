#pragma once
// Assembles bytes from register 18 into the inbound pipe: high nibble on a rise of bit 7, low on a fall.
#include <cstdint>

#include "dect/WorkerThread.h"

class PipePair;
class PhoneDevice;

class ChannelReader : public WorkerThread {
  public:
    ChannelReader(PipePair* pipe, PhoneDevice* device) : pipe(pipe), device(device) {}
    ~ChannelReader() override;
    void Run() override;
    void Step(); // one 3 ms tick

    static constexpr DWORD TickMs = 3;

    int phase = 0;
    PipePair* pipe;
    PhoneDevice* device;
    uint8_t currentByte = 0;
    uint8_t lastStatus = 0;
};
