#pragma once
// Drains the outbound pipe onto registers 10 and 15, one nibble per tick; sleeps while the pipe is empty.
#include <cstdint>

#include "dect/WorkerThread.h"

class PipePair;
class PhoneDevice;

class ChannelWriter : public WorkerThread {
  public:
    ChannelWriter(PipePair* pipe, PhoneDevice* device) : pipe(pipe), device(device) {}
    ~ChannelWriter() override;
    void Run() override;
    // One 1 ms tick; answers whether a nibble went out.
    bool Step();

    static constexpr DWORD TickMs = 1;

    int phase = 0;
    PipePair* pipe;
    PhoneDevice* device;
    uint8_t currentByte = 0;

  private:
    void WriteLocked(int reg, uint8_t value);
    // Answers whether there is a byte to send: from the bytes taken from the pipe, else from the pipe.
    bool TakeByte();

    // What one read took from the pipe, sent byte by byte: a frame costs one pipe read, not one a byte.
    uint8_t taken[64] = {};
    int takenCount = 0;
    int takenNext = 0;
};
