#include "support/RegistryData.h"

#include <cstdio>
#include <cstring>

void CopyCut(char* target, size_t capacity, const char* source, size_t length, LeadBytePredicate isLeadByte) {
    size_t count = length;
    if (length >= capacity) {
        count = 0;
        for (;;) {
            size_t step = isLeadByte(static_cast<uint8_t>(source[count])) ? 2 : 1;
            if (count + step >= capacity)
                break;
            count += step;
        }
    }
    std::memcpy(target, source, count);
    target[count] = '\0';
}

void FormatRegistryText(const RegistryData& value, char* buffer, LeadBytePredicate isLeadByte) {
    switch (value.type) {
    case RegistryBinaryType: {
        const char* data = reinterpret_cast<const char*>(value.bytes.data());
        const void* zero = std::memchr(data, 0, value.bytes.size());
        CopyCut(buffer, RegistryTextBufferSize, data,
                zero ? static_cast<const char*>(zero) - data : value.bytes.size(), isLeadByte);
        break;
    }
    case RegistryNumberType:
        std::snprintf(buffer, RegistryTextBufferSize, "%lu", static_cast<unsigned long>(value.number));
        break;
    case RegistryMultiStringType: {
        size_t used = 0;
        for (const std::string& one : value.strings) {
            if (used + one.size() + 2 > RegistryTextBufferSize)
                break;
            std::memcpy(buffer + used, one.c_str(), one.size() + 1);
            used += one.size() + 1;
        }
        buffer[used] = '\0';
        break;
    }
    default:
        break;
    }
}

std::vector<std::string> SplitMultiString(const char* data, size_t size) {
    std::vector<std::string> strings;
    if (!data || size <= 2)
        return strings;
    size_t end = data[size - 1] == '\0' ? size - 1 : size;
    size_t offset = 0;
    while (const void* zero = std::memchr(data + offset, 0, size - offset)) {
        size_t at = static_cast<size_t>(static_cast<const char*>(zero) - data);
        if (at >= end)
            break;
        strings.emplace_back(data + offset, at - offset);
        offset = at + 1;
    }
    return strings;
}

uint32_t NumberFromData(const uint8_t* data, size_t size) {
    uint32_t number = 0;
    std::memcpy(&number, data, size < sizeof number ? size : sizeof number);
    return number;
}

bool FitsLoadBuffers(size_t nameLength, size_t size) {
    return nameLength < RegistryNameBufferSize && size <= RegistryDataBufferSize;
}
