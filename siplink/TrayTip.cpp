#include "siplink/TrayTip.h"

#include "siplink/Utf8.h"
#include "siplink/account/Registration.h"

namespace {

constexpr const char* Prefix = "SipLink: ";
constexpr const char* Cut = "...";

// The bytes of the UTF-8 character at `at` (1 for a byte that starts none) and its UTF-16 units.
void Character(const std::string& text, size_t at, size_t& bytes, size_t& units) {
    unsigned code = 0;
    size_t length = Utf8CharacterAt(text, at, code);
    bytes = length ? length : 1;
    units = code > 0xFFFF && length ? 2 : 1;
}

} // namespace

std::string RegistrationTip(const Registration& registration, const std::string& address,
                            const std::string& missingDevice) {
    std::string words =
        registration.Registered() && !address.empty() ? "registered as " + address : registration.Brief();
    if (!missingDevice.empty())
        words += "; sound device missing: " + missingDevice;
    return CutToUnits(Prefix + words, TrayTipUnits);
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
