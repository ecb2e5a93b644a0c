#include "siplink/LogText.h"

#include <cctype>
#include <cstring>

namespace {

constexpr const char Secret[] = "auth_pass=";
constexpr size_t SecretLength = sizeof Secret - 1;

bool SecretAt(const std::string& text, size_t at) {
    if (text.size() - at < SecretLength)
        return false;
    for (size_t i = 0; i < SecretLength; ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != Secret[i])
            return false;
    return true;
}

// Where a parameter's value ends in an account line, also inside a JSON string.
bool EndsValue(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || (c != '\0' && std::strchr(";>,\"\\", c));
}

} // namespace

std::string LogText(const std::string& text) {
    std::string shown;
    size_t at = 0;
    for (; at < text.size() && shown.size() < LogTextKept; ++at) {
        char c = text[at];
        if (SecretAt(text, at)) {
            shown.append(text, at, SecretLength);
            shown += "***";
            at += SecretLength;
            while (at < text.size() && !EndsValue(text[at]))
                ++at;
            --at;
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else {
            shown += c;
        }
    }
    if (at < text.size())
        shown += "... (" + std::to_string(text.size()) + " bytes)";
    return shown;
}
