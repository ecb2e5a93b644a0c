#include "dect/DectBase.h"

#include "chip/Bus.h"
#include "chip/Registers.h"
#include "dect/DectLink.h"
#include "support/TraceLog.h"

namespace {

constexpr int TrafficLevel = 20;
constexpr uint8_t IdentReadAddress = 0xAC;
constexpr uint8_t WakeWriteAddress = 0xAB;
constexpr DWORD WakePauseMs = 200;
// Each register access holds the lock for a moment only.
constexpr DWORD HandshakeLockWaitMs = 2000;
constexpr LONG NoEvent = -1;

// The channel registers in their idle state and the indicators off, written in this order.
struct RegisterSetting {
    int reg;
    int value;
};
constexpr RegisterSetting IdleRegisters[] = {{10, 0x55}, {15, 1}, {19, 0}, {20, 0}, {21, 0}, {16, 0x0F}};

constexpr uint8_t AcceptedKeyCodes[] = {21,  23,  24,  25,  27,  '#', ')', '*', '0', '1', '2', '3',
                                        '4', '5', '6', '7', '8', '9', 'B', 'C', 'D', 'E', 'G', 'f'};

// Reads the base's two ident bytes and logs them; answers whether the base is awake. A silent bus leaves
// the buffer at 0, 0; an asleep base answers 0xFF, 0.
bool ReadIdent() {
    uint8_t ident[2] = {0, 0};
    BusRead(IdentReadAddress, ident, 2);
    Trace(TrafficLevel, "[ReadDataFromNic] : %u", ident[0]);
    Trace(TrafficLevel, "[ReadDataFromNic] : %u", ident[1]);
    unsigned value = ident[0] + 256u * ident[1];
    return value != 0 && value != 0xFF;
}

void WakeBase() {
    const uint8_t wake[2] = {0xA9, 0x38};
    BusWrite(WakeWriteAddress, wake, 2);
    Trace(TrafficLevel, "[WriteDataToNic] : %u", wake[0]);
    Trace(TrafficLevel, "[WriteDataToNic] : %u", wake[1]);
    Sleep(WakePauseMs);
}

} // namespace

DectBase::~DectBase() {
    if (link) {
        link->Close();
        delete link;
    }
}

// The lock is held across the whole handshake, so the channel threads of a running link wait for it.
int DectBase::Open() {
    // Before the handshake: it starts the channel's threads, which tick at 1 ms resolution from the first.
    fineTimer.Hold();
    // A running link's writer may be in the middle of a byte; the set-up below would cut it in two.
    auto* running = static_cast<DectLink*>(link);
    if (running)
        running->HoldWriter();
    int result = Handshake();
    if (running)
        running->ResumeWriter();
    if (!link)
        fineTimer.Release(); // the base never came into service
    return result;
}

int DectBase::Handshake() {
    // A channel thread stuck in a register access must not hold up the window: the base counts as silent.
    if (!LockRegistersWithin(HandshakeLockWaitMs))
        return 0;
    bool awake = ReadIdent();
    if (!awake) {
        WakeBase();
        awake = ReadIdent();
    }
    if (!awake) {
        UnlockRegisters();
        return 0;
    }
    SetSignal(0);
    for (const RegisterSetting& setting : IdleRegisters)
        WriteRegister(setting.reg, setting.value);
    if (!link) {
        link = new DectLink(this);
        link->Open();
    }
    UnlockRegisters();
    return 1;
}

int DectBase::PollEvent() {
    eventCode = NoEvent;
    if (!link)
        return 0;
    uint8_t payload[ReceiveBufferSize] = {};
    int length = 0;
    int command = link->ReceivePacket(payload, &length);
    HandsetFrameEvent event = DecodeHandsetFrame(command, payload, length);
    if (event.acknowledge)
        link->SendPacket(CmdReleaseAck, &event.acknowledgeByte, 1);
    eventCode = event.eventCode;
    return event.result;
}

int DectBase::TakeKeyCode() {
    for (uint8_t code : AcceptedKeyCodes)
        if (eventCode == code)
            return code;
    return 0;
}

int DectBase::Reserved5() {
    return 1;
}

int DectBase::SetSignal(int) {
    return 1;
}

UINT_PTR DectBase::StartTimer(HWND window, UINT_PTR id, UINT intervalMs) {
    return SetTimer(window, id, intervalMs, nullptr);
}

int DectBase::NeedsEventThread() {
    return 1;
}

int DectBase::TranslateKey(int) {
    return 0;
}
