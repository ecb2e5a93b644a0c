// The register byte channel against the simulated base: throughput each way next to its limit, the CPU
// time the two polling threads take while idle, and the bytes a reader loses to the clock alone.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "chip/PhoneLibrary.h"
#include "chip/Registers.h"
#include "dect/ChannelReader.h"
#include "dect/ChannelWriter.h"
#include "dect/PhoneDevice.h"
#include "dect/PipePair.h"
#include "sim/control/ChipControl.h"
#include "sim/control/SimControl.h"

namespace {

double Seconds() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double CpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    auto ms = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

std::vector<uint8_t> Pattern(size_t count, int step) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * step + 1);
    return bytes;
}

uint32_t RegisterTransfers() {
    return WithSim([](SimState& state) { return state.registerTransfers; });
}

// Idle, only the reader touches the registers: one read of register 18 a poll.
void MeasureIdle(ChannelReader& reader, ChannelWriter& writer) {
    const double seconds = 5;
    double readerBefore = CpuMs(reader.Handle()), writerBefore = CpuMs(writer.Handle());
    uint32_t transfersBefore = RegisterTransfers();
    double start = Seconds();
    Sleep(static_cast<DWORD>(seconds * 1000));
    double took = Seconds() - start;
    double polls = (RegisterTransfers() - transfersBefore) / took;
    double readerMs = (CpuMs(reader.Handle()) - readerBefore) / took;
    double writerMs = (CpuMs(writer.Handle()) - writerBefore) / took;
    std::printf("idle: reader %.0f polls/s (a 3 ms tick: 333), CPU reader %.1f ms/s, writer %.1f ms/s (over "
                "%.0f s)\n",
                polls, readerMs, writerMs, seconds);
}

void MeasureOutbound(PipePair& outbound) {
    std::vector<uint8_t> bytes = Pattern(1000, 7);
    double start = Seconds();
    outbound.Write(bytes.data(), static_cast<int>(bytes.size()));
    while (ChipReceived().size() < bytes.size() && Seconds() - start < 30)
        Sleep(10);
    double took = Seconds() - start;
    std::vector<uint8_t> received = ChipReceived();
    std::printf(
        "outbound: %zu bytes in %.2f s = %.0f bytes/s, %s; limit one byte per two 1 ms writer ticks = "
        "500 bytes/s\n",
        received.size(), took, received.size() / took, received == bytes ? "intact" : "NOT intact");
}

void MeasureInbound(PipePair& inbound, uint32_t holdMs, uint32_t graceMs) {
    ChipSetNibbleHold(holdMs);
    ChipSetReaderGrace(graceMs);
    ReaderTiming before = ChipReaderTiming();
    std::vector<uint8_t> bytes = Pattern(holdMs >= 10 ? 200 : 400, 5), got;
    double start = Seconds();
    ChipQueueForProgram(bytes);
    uint8_t buffer[256];
    while (ChipSending() && Seconds() - start < 60) {
        Sleep(10);
        while (int count = inbound.Read(buffer, sizeof buffer))
            got.insert(got.end(), buffer, buffer + count);
    }
    double took = Seconds() - start;
    Sleep(20);
    while (int count = inbound.Read(buffer, sizeof buffer))
        got.insert(got.end(), buffer, buffer + count);
    ReaderTiming after = ChipReaderTiming();
    std::printf(
        "inbound, %u ms holds, %u ms grace: %zu of %zu bytes in %.2f s = %.1f bytes/s, %s; limit two holds a "
        "byte = %.1f bytes/s; nibbles unread %u, held for the reader %u (longest %u ms past the hold)\n",
        holdMs, graceMs, got.size(), bytes.size(), took, got.size() / took,
        got == bytes ? "intact" : "NOT intact", 1000.0 / (2 * holdMs), after.unread - before.unread,
        after.heldLate - before.heldLate, after.longestLateMs);
}

// How many bytes of `sent` arrived, in order, in `got` (their longest common subsequence): a missed nibble
// spoils the byte it belongs to and may shift the pairing of the nibbles after it.
size_t BytesKept(const std::vector<uint8_t>& sent, const std::vector<uint8_t>& got) {
    std::vector<size_t> row(got.size() + 1, 0), next(got.size() + 1, 0);
    for (uint8_t byte : sent) {
        for (size_t j = 0; j < got.size(); ++j)
            next[j + 1] = byte == got[j] ? row[j] + 1 : std::max(row[j + 1], next[j]);
        row.swap(next);
    }
    return row.back();
}

// The base without its grace for a late reader, as on the wire: a nibble goes when its hold is over, read or
// not. The registers are shared with a thread that writes register 16 about once a millisecond, as the
// indicators do. Each hold time runs for about ten seconds of bytes.
void MeasureLossByTheClock(PipePair& inbound, PhoneDevice& device, uint32_t holdMs) {
    ChipSetNibbleHold(holdMs);
    ChipSetReaderGrace(0);
    std::atomic<bool> hammering{true};
    std::thread indicators([&] {
        for (int value = 0; hammering; ++value) {
            device.LockRegisters();
            WriteRegister(16, value & 0x0F);
            device.UnlockRegisters();
            Sleep(1);
        }
    });
    ReaderTiming before = ChipReaderTiming();
    std::vector<uint8_t> bytes = Pattern(10000 / (2 * holdMs), 3), got;
    ChipQueueForProgram(bytes);
    uint8_t buffer[256];
    double start = Seconds();
    while (ChipSending() && Seconds() - start < 120) {
        Sleep(10);
        while (int count = inbound.Read(buffer, sizeof buffer))
            got.insert(got.end(), buffer, buffer + count);
    }
    Sleep(20);
    while (int count = inbound.Read(buffer, sizeof buffer))
        got.insert(got.end(), buffer, buffer + count);
    hammering = false;
    indicators.join();
    size_t lost = bytes.size() - BytesKept(bytes, got);
    std::printf("no grace, %u ms holds, beside an indicator writer: %zu of %zu bytes lost = %.0f per 10,000 "
                "(nibbles unread %u)\n",
                holdMs, lost, bytes.size(), 10000.0 * lost / bytes.size(),
                ChipReaderTiming().unread - before.unread);
}

} // namespace

int main() {
    SimReset();
    if (!LoadPhoneLibrary())
        return 1;
    ChipDetachFirmware(true); // raw bytes: the firmware would answer them
    PhoneDevice device;
    PipePair inbound, outbound;
    inbound.Create();
    outbound.Create();
    {
        ChannelReader reader(&inbound, &device);
        ChannelWriter writer(&outbound, &device);
        reader.Start(0);
        writer.Start(0);
        MeasureIdle(reader, writer);
        MeasureOutbound(outbound);
        // By the clock alone, as on the wire; then with the grace the tests' base gives a late reader.
        MeasureInbound(inbound, 12, 0);
        MeasureInbound(inbound, 6, 0);
        MeasureInbound(inbound, 6, 1000);
        // The reader keeping up by itself at the base's usual 25 ms and at other holds.
        for (uint32_t holdMs : {40u, 25u, 12u})
            MeasureLossByTheClock(inbound, device, holdMs);
        reader.Stop();
        writer.Stop();
    }
    inbound.Close();
    outbound.Close();
    UnloadPhoneLibrary();
    return 0;
}
