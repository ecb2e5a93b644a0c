// The registry value conversions with any data: text cut to a buffer in a code page with or without
// double-byte characters, the text form of every type, multi-string data, DWORD data of any size, and sizes
// around the 2,048-byte limit. Control bytes: the mode (code page, whether to grow the data to the limit),
// a size offset and a small buffer capacity; the rest is the data.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "support/RegistryData.h"

namespace {

bool NoLead(uint8_t) {
    return false;
}

// Lead bytes as in code page 932.
bool ShiftJisLead(uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool AllLead(uint8_t) {
    return true;
}

constexpr LeadBytePredicate CodePages[] = {NoLead, ShiftJisLead, AllLead};

// Text cut into a buffer of exactly capacity bytes: never longer than the buffer, a prefix of the source,
// whole when it fits, cut by at most one character, and never in the middle of a double-byte character.
void CheckCut(const std::string& source, size_t capacity, LeadBytePredicate isLead) {
    std::unique_ptr<char[]> target(new char[capacity]);
    CopyCut(target.get(), capacity, source.data(), source.size(), isLead);
    size_t length = std::strlen(target.get());
    FUZZ_CHECK(length < capacity);
    FUZZ_CHECK(source.compare(0, length, target.get(), length) == 0);
    if (source.size() < capacity) {
        FUZZ_CHECK(length == source.size());
        return;
    }
    FUZZ_CHECK(length + 2 >= capacity);
    size_t at = 0;
    while (at < length)
        at += isLead(static_cast<uint8_t>(source[at])) ? 2 : 1;
    FUZZ_CHECK(at == length);
}

void CheckSplit(const char* data, size_t size, const std::vector<std::string>& strings) {
    // The strings and their zero bytes are the data's beginning, and only closed strings are kept.
    size_t at = 0;
    for (const std::string& one : strings) {
        FUZZ_CHECK(one.find('\0') == std::string::npos);
        FUZZ_CHECK(at + one.size() < size);
        FUZZ_CHECK(std::memcmp(data + at, one.data(), one.size()) == 0 && data[at + one.size()] == '\0');
        at += one.size() + 1;
    }
    size_t end = size > 0 && data[size - 1] == '\0' ? size - 1 : size;
    if (size <= 2)
        FUZZ_CHECK(strings.empty());
    else
        FUZZ_CHECK(at >= end || !std::memchr(data + at, 0, end - at));
}

void CheckText(const RegistryData& value, LeadBytePredicate isLead) {
    // Exactly the text buffer's size, so that a write past it shows.
    std::unique_ptr<char[]> buffer(new char[RegistryTextBufferSize]);
    std::memset(buffer.get(), 'X', RegistryTextBufferSize);
    buffer[RegistryTextBufferSize - 1] = '\0';
    FormatRegistryText(value, buffer.get(), isLead);
    const char* text = buffer.get();
    size_t length = strnlen(text, RegistryTextBufferSize);
    FUZZ_CHECK(length < RegistryTextBufferSize);
    switch (value.type) {
    case RegistryBinaryType: {
        const std::vector<uint8_t>& bytes = value.bytes;
        FUZZ_CHECK(length <= bytes.size() && std::memcmp(text, bytes.data(), length) == 0);
        break;
    }
    case RegistryNumberType:
        FUZZ_CHECK(std::to_string(value.number) == text);
        break;
    case RegistryMultiStringType: {
        // Whole strings in order, each with its zero byte, then one more; as many as fit.
        size_t used = 0;
        size_t shown = 0;
        while (shown < value.strings.size() &&
               used + value.strings[shown].size() + 2 <= RegistryTextBufferSize) {
            const std::string& one = value.strings[shown];
            FUZZ_CHECK(std::memcmp(text + used, one.c_str(), one.size() + 1) == 0);
            used += one.size() + 1;
            ++shown;
        }
        FUZZ_CHECK(used < RegistryTextBufferSize && text[used] == '\0');
        break;
    }
    default:
        FUZZ_CHECK(text[0] == 'X' && length == RegistryTextBufferSize - 1);
    }
}

} // namespace

FUZZ_TARGET(RegistryConversions) {
    FuzzInput input(data, size);
    uint8_t mode = input.Byte();
    uint8_t sizeOffset = input.Byte();
    size_t smallCapacity = 1 + input.Byte() % 16;
    LeadBytePredicate isLead = CodePages[mode % 3];
    // The store never holds binary data of size 0 (SetBytes ignores it) and always loads into a buffer.
    if (input.RestSize() == 0)
        return 0;
    std::vector<uint8_t> bytes(input.Rest(), input.Rest() + input.RestSize());
    // Grown to around the 2,048-byte limit by repeating the data.
    if ((mode & 0x10) && !bytes.empty()) {
        size_t wanted = RegistryDataBufferSize - 128 + sizeOffset;
        for (size_t i = 0; bytes.size() < wanted; ++i)
            bytes.push_back(bytes[i]);
    }
    const char* text = reinterpret_cast<const char*>(bytes.data());

    // Text as a setter and a load give it: up to its first zero byte.
    std::string source(text, strnlen(text, bytes.size()));
    CheckCut(source, RegistryTextBufferSize, isLead);
    CheckCut(source, smallCapacity, isLead);

    RegistryData value;
    value.bytes = bytes;
    value.strings = SplitMultiString(text, bytes.size());
    CheckSplit(text, bytes.size(), value.strings);
    value.number = NumberFromData(bytes.data(), bytes.size());
    uint32_t expected = 0;
    for (size_t i = bytes.size() < 4 ? bytes.size() : 4; i > 0; --i)
        expected = expected << 8 | bytes[i - 1];
    FUZZ_CHECK(value.number == expected);
    for (uint32_t type : {0u, RegistryTextType, RegistryBinaryType, RegistryNumberType,
                          RegistryMultiStringType, static_cast<uint32_t>(mode)}) {
        value.type = type;
        CheckText(value, isLead);
    }
    // Loading takes no name or data that its buffers cannot hold.
    size_t nameLength = RegistryNameBufferSize - 2 + mode % 4;
    size_t dataSize = RegistryDataBufferSize - 2 + sizeOffset % 4;
    FUZZ_CHECK(FitsLoadBuffers(nameLength, dataSize) ==
               (nameLength + 1 <= RegistryNameBufferSize && dataSize <= RegistryDataBufferSize));
    return 0;
}
