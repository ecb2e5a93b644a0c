#include "dect/DectLink.h"

#include <algorithm>
#include <cstring>

#include "chip/Registers.h"
#include "dect/PhoneDevice.h"

namespace {

constexpr int IndicatorRegister = 16;
constexpr uint8_t IndicatorIdleBits = 0x05; // bits 0 and 2 stay high
constexpr uint8_t SkypeIndicatorBit = 0x02;
constexpr uint8_t CallIndicatorBit = 0x08;
// The indicators are set from the main thread, which must not wait long.
constexpr DWORD IndicatorLockWaitMs = 1000;

// Copies the first `count` bytes of text into a display field of DisplayWidth bytes, padded with spaces.
void FillDisplayField(uint8_t* field, const char* text, int count) {
    std::memset(field, ' ', DisplayWidth);
    std::memcpy(field, text, count);
}

int TextLength(const char* text) {
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

} // namespace

DectLink::DectLink(PhoneDevice* device) : PacketLink(device), inbound(new PipePair), outbound(new PipePair) {
    reader = new ChannelReader(inbound, device);
    writer = new ChannelWriter(outbound, device);
}

// The pipes' handles belong to Close; deleting the PipePair objects leaves them alone.
DectLink::~DectLink() {
    delete reader;
    delete writer;
    delete inbound;
    delete outbound;
}

int DectLink::Open() {
    if (!inbound->Create() || !outbound->Create())
        return 0;
    reader->Start(0);
    writer->Start(0);
    const uint8_t init = 0x00;
    SendPacket(CmdInit, &init, 1);
    return 1;
}

int DectLink::Close() {
    reader->Stop();
    writer->Stop();
    return inbound->Close() && outbound->Close() ? 1 : 0;
}

int DectLink::ShowText(const char* text) {
    uint8_t payload[2 + DisplayWidth] = {0x01, DisplayWidth};
    FillDisplayField(payload + 2, text, std::min(TextLength(text), DisplayWidth));
    return SendPacket(CmdDisplay, payload, sizeof payload);
}

int DectLink::SendIncomingCall(const char* text) {
    // The caller's text counts its terminating zero, so a short text arrives zero-terminated.
    int count = std::min(TextLength(text) + 1, DisplayWidth);
    uint8_t payload[6 + DisplayWidth] = {0x81, 0x02, '0', '0', static_cast<uint8_t>(count), '<'};
    FillDisplayField(payload + 6, text ? text : "", count);
    return SendPacket(CmdIncomingCall, payload, sizeof payload);
}

int DectLink::SendConnect() {
    const uint8_t payload[] = {0x01, 0x81};
    return SendPacket(CmdConnect, payload, sizeof payload);
}

int DectLink::SendRelease() {
    const uint8_t payload[] = {0x81};
    return SendPacket(CmdRelease, payload, sizeof payload);
}

void DectLink::HoldWriter() {
    writer->Stop();
    if (writer->phase == 1)
        writer->Step();
}

void DectLink::ResumeWriter() {
    if (outbound->created)
        writer->Start(0);
}

void DectLink::SetCallIndicator(int flag) {
    SetIndicator(CallIndicatorBit, flag);
}

void DectLink::SetSkypeIndicator(int flag) {
    SetIndicator(SkypeIndicatorBit, flag);
}

// The lines are active low. Read and write each take the lock alone, so the channel threads can run
// between them; a lock held by a channel thread stuck in an access leaves the light as it is.
void DectLink::SetIndicator(uint8_t bit, int on) {
    uint8_t value = 0;
    if (!device->LockRegistersWithin(IndicatorLockWaitMs))
        return;
    ReadRegister(IndicatorRegister, &value);
    device->UnlockRegisters();
    value |= IndicatorIdleBits;
    if (on)
        value &= static_cast<uint8_t>(~bit);
    else
        value |= bit;
    if (!device->LockRegistersWithin(IndicatorLockWaitMs))
        return;
    WriteRegister(IndicatorRegister, value);
    device->UnlockRegisters();
}

int DectLink::WriteBytes(const uint8_t* data, int count) {
    return outbound->Write(data, count);
}

int DectLink::ReadBytes(uint8_t* buffer, int count) {
    return inbound->Read(buffer, count);
}

// The reader's writes into the inbound pipe set it.
HANDLE DectLink::InboundEvent() {
    return inbound->dataEvent;
}
