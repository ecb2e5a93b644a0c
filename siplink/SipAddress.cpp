#include "siplink/SipAddress.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

SipAddress ReadSipAddress(const std::string& uri) {
    std::string rest = uri.substr(!uri.empty() && uri[0] == '<' ? 1 : 0);
    rest = rest.substr(0, rest.find_first_of(">?"));
    for (const char* scheme : {"sip:", "sips:", "tel:"}) {
        std::string name = scheme;
        if (Lower(rest.substr(0, name.size())) == name) {
            rest.erase(0, name.size());
            break;
        }
    }
    SipAddress address;
    size_t at = rest.find('@');
    if (at != std::string::npos) {
        address.user = rest.substr(0, std::min(at, rest.find(';')));
        rest.erase(0, at + 1);
    }
    address.host = rest.substr(0, rest.find(';'));
    return address;
}

std::string AddressKey(const std::string& uri) {
    SipAddress address = ReadSipAddress(uri);
    std::string host = Lower(address.host);
    // A port after the host (not inside an IPv6 bracket) is kept; none means the SIP default.
    size_t colon = host.rfind(':');
    size_t bracket = host.rfind(']');
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
        host += ":5060";
    return address.user + "@" + host;
}

bool SameAddress(const std::string& a, const std::string& b) {
    return AddressKey(a) == AddressKey(b);
}
