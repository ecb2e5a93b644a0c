#include "bridge/CallerName.h"

#include <cctype>

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The number in international digits without a prefix ("49301234"), or empty when the text is not a
// telephone number. Blanks, dashes, dots, slashes and brackets between the digits are written for reading.
std::string InternationalDigits(const std::string& text, const std::string& countryCode) {
    std::string digits;
    bool plus = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c == '+' && i == 0)
            plus = true;
        else if (c != ' ' && c != '-' && c != '.' && c != '/' && c != '(' && c != ')')
            return std::string();
    }
    // Too short to tell a number from an extension.
    if (digits.size() < 5)
        return std::string();
    if (plus)
        return digits;
    if (digits.compare(0, 2, "00") == 0)
        return digits.substr(2);
    // A national number: the country code in place of its first digit, as dialling does.
    std::string country = CountryDigits(countryCode);
    if (digits[0] == '0' && !country.empty())
        return country + digits.substr(1);
    return digits;
}

} // namespace

std::string CountryDigits(const std::string& code) {
    size_t start = code.compare(0, 1, "+") == 0 ? 1 : code.compare(0, 2, "00") == 0 ? 2 : 0;
    std::string digits = code.substr(start);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::string();
    return digits;
}

std::string CallerName(const ContactList& contacts, const std::string& caller,
                       const std::string& countryCode) {
    if (caller.empty())
        return std::string();
    std::string number = InternationalDigits(caller, countryCode);
    for (const ContactRecord& contact : contacts.Contacts()) {
        if (SameIgnoringCase(contact.handle, caller))
            return contact.handle;
        if (!number.empty() && InternationalDigits(contact.handle, countryCode) == number)
            return contact.handle;
    }
    return std::string();
}
