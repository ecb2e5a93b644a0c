#include "siplink/Netstring.h"

#include <cctype>

std::string EncodeNetstring(const std::string& payload) {
    return std::to_string(payload.size()) + ":" + payload + ",";
}

void NetstringReader::Append(const char* bytes, size_t count) {
    buffer.append(bytes, count);
}

bool NetstringReader::Next(std::string& message, std::string& skipped) {
    for (;;) {
        // A frame starts with a decimal length (no leading zero unless it is "0") and a colon.
        size_t digits = 0;
        while (digits < buffer.size() && std::isdigit(static_cast<unsigned char>(buffer[digits])))
            ++digits;
        bool broken = digits == 0 || digits > 7 || (digits > 1 && buffer[0] == '0');
        if (!broken && digits == buffer.size())
            return false; // the length is still arriving
        size_t length = broken ? 0 : std::stoul(buffer.substr(0, digits));
        broken = broken || buffer[digits] != ':' || length > MaxLength;
        if (!broken) {
            size_t end = digits + 1 + length;
            if (buffer.size() <= end)
                return false; // the payload or its comma is still arriving
            if (buffer[end] == ',') {
                message = buffer.substr(digits + 1, length);
                buffer.erase(0, end + 1);
                return true;
            }
        }
        if (buffer.empty())
            return false;
        // Resynchronise: drop up to the next digit that follows something other than a digit.
        size_t next = 1;
        while (next < buffer.size() && !(std::isdigit(static_cast<unsigned char>(buffer[next])) &&
                                         !std::isdigit(static_cast<unsigned char>(buffer[next - 1]))))
            ++next;
        skipped += buffer.substr(0, next);
        buffer.erase(0, next);
    }
}
