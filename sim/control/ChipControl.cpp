#include "sim/control/ChipControl.h"

#include "sim/control/SimControl.h"
#include "sim/shared/ChipQueue.h"

namespace {

template <class F> auto WithChip(F f) {
    return WithSim([&](SimState& state) { return f(state.chip); });
}

std::vector<uint8_t> Logged(const uint8_t* log, uint32_t count, uint32_t capacity) {
    return std::vector<uint8_t>(log, log + (count < capacity ? count : capacity));
}

bool ValidRegister(int reg) {
    return reg >= 0 && reg < ChipRegisterCount;
}

} // namespace

void ChipSetBusBehaviour(BusBehaviour behaviour) {
    WithChip([=](ChipState& chip) {
        chip.busBehaviour = behaviour;
        chip.woken = 0;
    });
}

void ChipSetIdent(uint8_t byte0, uint8_t byte1) {
    WithChip([=](ChipState& chip) {
        chip.ident[0] = byte0;
        chip.ident[1] = byte1;
    });
}

void ChipSetDataRefusals(int count) {
    WithChip([=](ChipState& chip) { chip.dataRefusals = count; });
}

bool ChipWoken() {
    return WithChip([](ChipState& chip) { return chip.woken != 0; });
}

std::vector<uint8_t> ChipWireLog() {
    return WithChip([](ChipState& chip) { return Logged(chip.wire, chip.wireCount, WireLogCapacity); });
}

uint8_t ChipRegister(int reg) {
    if (!ValidRegister(reg))
        return 0;
    return WithChip(
        [=](ChipState& chip) { return reg == 18 ? ChannelOutputNow(chip) : chip.registers[reg]; });
}

void ChipSetRegister(int reg, uint8_t value) {
    if (ValidRegister(reg))
        WithChip([=](ChipState& chip) { chip.registers[reg] = value; });
}

uint32_t ChipRequestViolations() {
    return WithChip([](ChipState& chip) { return chip.requestViolations; });
}

int ChipQueueForProgram(const std::vector<uint8_t>& bytes) {
    return WithChip([&](ChipState& chip) {
        return QueueBytesForProgram(chip, bytes.data(), static_cast<int>(bytes.size()));
    });
}

bool ChipSending() {
    return WithChip([](ChipState& chip) {
        ChannelOutputNow(chip);
        return chip.presenting || BytesWaitingForProgram(chip) > 0;
    });
}

std::vector<uint8_t> ChipReceived() {
    return WithChip(
        [](ChipState& chip) { return Logged(chip.received, chip.receivedCount, ChannelQueueCapacity); });
}

void ChipSetNibbleHold(uint32_t ms) {
    WithChip([=](ChipState& chip) { chip.nibbleHoldMs = ms; });
}

void ChipSetReaderGrace(uint32_t ms) {
    WithChip([=](ChipState& chip) { chip.readerGraceMs = ms; });
}

// The program reads register 18 through the simulation's lock, so holding the lock holds its reader.
void ChipStallReader(uint32_t ms) {
    WithChip([=](ChipState& chip) {
        ChannelOutputNow(chip);
        uint32_t grace = chip.readerGraceMs;
        chip.readerGraceMs = 0;
        Sleep(ms);
        ChannelOutputNow(chip);
        chip.readerGraceMs = grace;
    });
}

ReaderTiming ChipReaderTiming() {
    return WithChip([](ChipState& chip) {
        ChannelOutputNow(chip);
        return ReaderTiming{chip.nibblesHeldLate, chip.longestLateMs, chip.nibblesUnread};
    });
}

void ChipDetachFirmware(bool detached) {
    WithChip([=](ChipState& chip) { chip.firmwareDetached = detached ? 1 : 0; });
}
