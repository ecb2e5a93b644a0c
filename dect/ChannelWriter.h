#pragma once
// Drains the outbound pipe onto registers 10 and 15, one nibble per tick.
#include <cstdint>

#include "dect/WorkerThread.h"

class PipePair;
class PhoneDevice;

class ChannelWriter : public WorkerThread {
  public:
    ChannelWriter(PipePair* pipe, PhoneDevice* device) : pipe(pipe), device(device) {}
    ~ChannelWriter() override;
    void Run() override;
    void Step(); // one 1 ms tick

    static constexpr DWORD TickMs = 1;

    int phase = 0;
    PipePair* pipe;
    PhoneDevice* device;
    uint8_t currentByte = 0;

  private:
    void WriteLocked(int reg, uint8_t value);
};
