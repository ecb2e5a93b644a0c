// SIP addresses out of what the user typed.
#include "siplink/phone/SipUri.h"

#include <cctype>

namespace phone {

std::string EscapeUser(const std::string& typed) {
    // RFC 3261's unreserved and user-unreserved characters stand as they are.
    static const std::string plain = "-_.!~*'()&=+$,;?/";
    static const char hex[] = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : typed) {
        if (std::isalnum(c) && c < 0x80)
            escaped += static_cast<char>(c);
        else if (plain.find(static_cast<char>(c)) != std::string::npos)
            escaped += static_cast<char>(c);
        else
            escaped += std::string("%") + hex[c >> 4] + hex[c & 15];
    }
    return escaped;
}

std::string AccountUri(const std::string& user, const std::string& domain) {
    return "sip:" + EscapeUser(user) + "@" + domain;
}

std::string TargetUri(const std::string& target, const std::string& domain) {
    if (target.empty())
        return "";
    if (target.rfind("sip:", 0) == 0 || target.rfind("sips:", 0) == 0)
        return target;
    size_t at = target.find('@');
    if (at != std::string::npos && at > 0 && at + 1 < target.size())
        return "sip:" + EscapeUser(target.substr(0, at)) + target.substr(at);
    return AccountUri(target, domain);
}

} // namespace phone
