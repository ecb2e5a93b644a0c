#include "siplink/Utf8.h"

size_t Utf8CharacterAt(const std::string& text, size_t at, unsigned& code) {
    unsigned char first = static_cast<unsigned char>(text[at]);
    if (first < 0x80) {
        code = first;
        return 1;
    }
    size_t length = first >= 0xC2 && first <= 0xDF   ? 2
                    : first >= 0xE0 && first <= 0xEF ? 3
                    : first >= 0xF0 && first <= 0xF4 ? 4
                                                     : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    code = first & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    static const unsigned smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

std::string ValidUtf8(const std::string& text) {
    std::string valid;
    for (size_t at = 0; at < text.size();) {
        unsigned code = 0;
        size_t length = Utf8CharacterAt(text, at, code);
        valid += length ? text.substr(at, length) : "?";
        at += length ? length : 1;
    }
    return valid;
}
