#include "chip/Registers.h"

#include "chip/PhoneLibrary.h"

namespace {

// One single-byte RegisterTransfer. The bytes the record leaves unassigned (offset 1, 10 and 11, and the
// marker of a read) are sent as 0, so every request is fully defined.
int TransferOneByte(int reg, uint8_t direction, uint8_t* data) {
    RegisterRequest request = {};
    request.kind = RequestKind;
    request.reg = static_cast<uint16_t>(reg);
    request.count = 1;
    request.direction = direction;
    request.marker = direction == RequestWrite ? WriteMarker : 0;
    request.countAgain = 1;
    request.data = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(data));
    return RegisterTransfer(&request);
}

} // namespace

int ReadRegister(int reg, uint8_t* value) {
    return TransferOneByte(reg, RequestRead, value);
}

int WriteRegister(int reg, int value) {
    uint8_t byte = static_cast<uint8_t>(value);
    return TransferOneByte(reg, RequestWrite, &byte);
}
