#include "tools/sip/agent/Netstring.h"

#include <cctype>

namespace {

// The longest length prefix that can be within MaxLength.
constexpr size_t MaxDigits = 7;

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::string EncodeNetstring(const std::string& payload) {
    return std::to_string(payload.size()) + ":" + payload + ",";
}

void NetstringReader::Append(const char* bytes, size_t count) {
    // What was taken or skipped goes once per read, not once per message.
    buffer.erase(0, start);
    start = 0;
    buffer.append(bytes, count);
}

bool NetstringReader::Next(std::string& message, std::string& skipped) {
    while (start < buffer.size()) {
        const char* at = buffer.data() + start;
        size_t available = buffer.size() - start;
        // A frame starts with a decimal length (no leading zero unless it is "0") and a colon.
        size_t digits = 0;
        while (digits < available && digits <= MaxDigits && IsDigit(at[digits]))
            ++digits;
        bool broken = digits == 0 || digits > MaxDigits || (digits > 1 && at[0] == '0');
        if (!broken && digits == available)
            return false; // the length is still arriving
        size_t length = broken ? 0 : std::stoul(std::string(at, digits));
        broken = broken || at[digits] != ':' || length > MaxLength;
        if (!broken) {
            size_t end = digits + 1 + length;
            if (available <= end)
                return false; // the payload or its comma is still arriving
            if (at[end] == ',') {
                message.assign(at + digits + 1, length);
                start += end + 1;
                return true;
            }
        }
        // Resynchronise: drop up to the next digit that follows something other than a digit.
        size_t next = 1;
        while (next < available && !(IsDigit(at[next]) && !IsDigit(at[next - 1])))
            ++next;
        skipped.append(at, next);
        start += next;
    }
    return false;
}
