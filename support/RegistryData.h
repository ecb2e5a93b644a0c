#pragma once
// The registry value conversions of the settings store, apart from the registry itself: the text form of
// each value type within the cache's 2,048-byte text buffer, multi-string data, DWORD data shorter than
// four bytes, and the limits on what loading takes. Plain C++, so that it also builds natively for fuzzing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Registry type codes of the values the store keeps.
constexpr uint32_t RegistryTextType = 1;        // REG_SZ
constexpr uint32_t RegistryBinaryType = 3;      // REG_BINARY
constexpr uint32_t RegistryNumberType = 4;      // REG_DWORD
constexpr uint32_t RegistryMultiStringType = 7; // REG_MULTI_SZ

// A value's text form is cut to fit this buffer, terminator included.
constexpr size_t RegistryTextBufferSize = 2048;
// What loading takes from the registry: a name shorter than this many characters and data of at most this
// many bytes; larger values are skipped.
constexpr size_t RegistryNameBufferSize = 260;
constexpr size_t RegistryDataBufferSize = 2048;

// Whether a byte starts a double-byte character in the text's code page.
using LeadBytePredicate = bool (*)(uint8_t byte);

// Copies length bytes of source into a buffer of capacity bytes and terminates it. Text that does not fit
// is cut before the first character that would not fit, so that a double-byte character is never split.
void CopyCut(char* target, size_t capacity, const char* source, size_t length, LeadBytePredicate isLeadByte);

// The cached form of a value that Text() turns into text.
struct RegistryData {
    uint32_t type = 0;
    uint32_t number = 0;
    std::vector<uint8_t> bytes;
    std::vector<std::string> strings;
};

// Writes the value's text form into buffer (RegistryTextBufferSize bytes): binary data up to its first
// zero byte, a number in decimal, multi-strings in registry layout (whole strings only, as many as fit
// with the closing zero byte). Text values and values of no type leave the buffer as it is.
void FormatRegistryText(const RegistryData& value, char* buffer, LeadBytePredicate isLeadByte);

// Multi-string data in registry layout: each string followed by a zero byte, then one more. Without a final
// second zero byte the last string has no end of its own and is not kept.
std::vector<std::string> SplitMultiString(const char* data, size_t size);

// DWORD data as loaded: data shorter than four bytes reads as if padded with zero bytes.
uint32_t NumberFromData(const uint8_t* data, size_t size);

// Whether loading takes a value with a name of nameLength characters and size bytes of data.
bool FitsLoadBuffers(size_t nameLength, size_t size);
