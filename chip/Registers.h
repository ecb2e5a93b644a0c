#pragma once
// Single-byte chip register access through the library's RegisterTransfer.
#include <windows.h>
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct RegisterRequest {
    uint8_t kind; // 4
    uint8_t unused1;
    uint16_t zero;     // 0
    uint16_t reg;      // register number
    uint16_t count;    // low 8 bits of the byte count
    uint8_t direction; // 1 read, 0 write
    uint8_t marker;    // 0x55 on writes
    uint16_t unused10;
    uint32_t countAgain; // the byte count again
    uint32_t data;       // address of the data buffer (a 32-bit program)
};
#pragma pack(pop)
static_assert(sizeof(RegisterRequest) == 20, "the library reads a 20-byte record");
static_assert(offsetof(RegisterRequest, reg) == 4 && offsetof(RegisterRequest, count) == 6 &&
                  offsetof(RegisterRequest, direction) == 8 && offsetof(RegisterRequest, marker) == 9 &&
                  offsetof(RegisterRequest, countAgain) == 12 && offsetof(RegisterRequest, data) == 16,
              "field offsets of the register request");

enum : uint8_t { RequestRead = 1, RequestWrite = 0, RequestKind = 4, WriteMarker = 0x55 };

// One RegisterTransfer of one byte each; both answer the library's result (1 done, 0 failed). The request's
// unassigned bytes are sent as 0.
int ReadRegister(int reg, uint8_t* value);
int WriteRegister(int reg, int value); // writes the low byte of value
