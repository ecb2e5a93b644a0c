// Host and port out of what the user typed.
#include "siplink/phone/HostPort.h"

#include <cstdlib>

namespace phone {

HostPort SplitHostPort(const std::string& text) {
    HostPort result;
    std::string rest;
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos)
            return result;
        result.host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
    } else {
        size_t colon = text.find(':');
        result.host = text.substr(0, colon);
        rest = colon == std::string::npos ? "" : text.substr(colon);
    }
    if (result.host.empty() || result.host.find_first_of(" \t;@/[]") != std::string::npos)
        return result;
    if (!rest.empty()) {
        if (rest[0] != ':' || rest.size() < 2 || rest.size() > 6 ||
            rest.find_first_not_of("0123456789", 1) != std::string::npos)
            return result;
        long port = std::strtol(rest.c_str() + 1, nullptr, 10);
        if (port < 1 || port > 65535)
            return result;
        result.port = static_cast<unsigned short>(port);
    }
    result.valid = true;
    return result;
}

bool IsNumericIPv4(const std::string& host) {
    int parts = 0;
    size_t start = 0;
    while (start <= host.size()) {
        size_t dot = host.find('.', start);
        std::string part = host.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::atoi(part.c_str()) > 255)
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return parts == 4;
}

} // namespace phone
