#pragma once
// Shared pieces of the DECT tests: byte dumps for failure messages, the trace log of one test, a packet
// link over memory, and a base opened against the simulated library.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "dect/DectBase.h"
#include "dect/DectLink.h"

namespace dect_test {

// "24 24 03 00 00 fd": the form failure messages show bytes in.
std::string Hex(const std::vector<uint8_t>& bytes);
std::string Hex(const uint8_t* bytes, int count);

// Sends the trace log of this process to a file of its own and reads it back as the texts of its lines
// (what follows the time and thread tag).
class TraceCapture {
  public:
    explicit TraceCapture(const std::string& name);
    ~TraceCapture();
    std::vector<std::string> Lines() const;
    // The lines logged since the last call of Since() (all of them at first).
    std::vector<std::string> Since();

  private:
    std::string prefix;
    size_t seen = 0;
};

// All lines joined by newlines, for failure messages.
std::string Joined(const std::vector<std::string>& lines);

// A DectLink whose pipes are replaced by memory: what it writes is kept, what it reads comes from `input`.
class MemoryLink : public DectLink {
  public:
    MemoryLink() : DectLink(nullptr) {}
    int WriteBytes(const uint8_t* data, int count) override;
    int ReadBytes(uint8_t* buffer, int count) override;

    std::deque<uint8_t> input;
    std::vector<std::vector<uint8_t>> writes; // one entry per WriteBytes call
    bool refuseWrites = false;
};

// True when TjIpSys.dll lies next to the test program (the simulated library in a build).
bool SimulatedLibraryPresent();

// Polls like the handset event thread (every 5 ms) until PollEvent answers nonzero or something new is
// in the trace log; answers PollEvent's last result.
int PollUntilReceived(DectBase& base, TraceCapture& trace, DWORD timeoutMs);
// The same with ReceivePacket.
int ReceiveUntilReceived(PacketLink& link, TraceCapture& trace, uint8_t* buffer, int* length,
                         DWORD timeoutMs);

} // namespace dect_test

namespace dect_test {

// A test against the simulated library loaded into this process: the simulation is reset, the trace log
// goes to a file of the test's own, and the base (when opened) is closed and the library unloaded after.
class SimulatedBaseTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the base and waits until the firmware has the link's CmdInit; forgets the trace so far.
    void OpenBase();
    // Hex of the last good frame the base received, "" when none.
    std::string LastFrameAtBase();

    std::unique_ptr<TraceCapture> trace;
    std::unique_ptr<DectBase> base;

  private:
    bool loaded = false;
};

} // namespace dect_test
