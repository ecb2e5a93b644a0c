#include "siplink/TrayTip.h"

#include "siplink/account/Registration.h"

namespace {

constexpr const char* Prefix = "SipLink: ";
constexpr const char* Cut = "...";

// The bytes of the UTF-8 character at `at` (1 for a byte that starts none) and its UTF-16 units.
void Character(const std::string& text, size_t at, size_t& bytes, size_t& units) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    bool whole = length != 0 && at + length <= text.size();
    for (size_t i = 1; whole && i < length; ++i)
        whole = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
    bytes = whole ? length : 1;
    units = whole && length == 4 ? 2 : 1;
}

} // namespace

std::string RegistrationTip(const Registration& registration, const std::string& address) {
    std::string words =
        registration.Registered() && !address.empty() ? "registered as " + address : registration.Brief();
    return CutToUnits(Prefix + words, TrayTipUnits);
}

std::string ControlTip(bool connected, const std::string& agent) {
    return CutToUnits(Prefix + (connected
                                    ? "connected to the SIP user agent at " + agent
                                    : "no connection to the SIP user agent at " + agent + ", trying again"),
                      TrayTipUnits);
}

std::string CutToUnits(const std::string& text, size_t units) {
    const size_t cutUnits = std::char_traits<char>::length(Cut);
    size_t at = 0, used = 0;
    size_t keep = 0; // the bytes that fit with the "..." after them
    while (at < text.size()) {
        size_t bytes = 0, count = 0;
        Character(text, at, bytes, count);
        if (used + count > units)
            return units < cutUnits ? text.substr(0, at) : text.substr(0, keep) + Cut;
        used += count;
        at += bytes;
        if (used + cutUnits <= units)
            keep = at;
    }
    return text;
}
