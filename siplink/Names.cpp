#include "siplink/Names.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

namespace {

// The plain letters of U+00C0..U+017F, lower case; '*' a letter written with two, '-' no letter.
constexpr char LatinLetters[] = "aaaaaa*ceeeeiiii"
                                "dnooooo-ouuuuy**"
                                "aaaaaa*ceeeeiiii"
                                "dnooooo-ouuuuy*y"
                                "aaaaaaccccccccdd"
                                "ddeeeeeeeeeegggg"
                                "gggghhhhiiiiiiii"
                                "ii**jjkkklllllll"
                                "lllnnnnnnnnnoooo"
                                "oo**rrrrrrssssss"
                                "ssttttttuuuuuuuu"
                                "uuuuwwyyyzzzzzzs";

const char* TwoLetters(unsigned code) {
    switch (code) {
    case 0xC6:
    case 0xE6:
        return "ae";
    case 0xDE:
    case 0xFE:
        return "th";
    case 0xDF:
        return "ss";
    case 0x132:
    case 0x133:
        return "ij";
    case 0x152:
    case 0x153:
        return "oe";
    default:
        return "";
    }
}

// The length of the well-formed UTF-8 character at `at` (its code in `code`), 0 when there is none.
size_t CharacterAt(const std::string& text, size_t at, unsigned& code) {
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
    // Overlong forms, surrogates and codes beyond Unicode are not characters.
    static const unsigned smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

// The name in the handles' alphabet: letters folded to plain lower case, blanks and the like made '_'.
std::string Folded(const std::string& name) {
    std::string folded;
    for (size_t at = 0; at < name.size();) {
        unsigned code = 0;
        size_t length = CharacterAt(name, at, code);
        at += length ? length : 1;
        if (length == 0)
            continue;
        if (code < 0x80 && std::isalnum(static_cast<int>(code)))
            folded += static_cast<char>(std::tolower(static_cast<int>(code)));
        else if (code == '+')
            folded += '+';
        else if (code == ' ' || code == '_' || code == ',' || code == '.' || code == '-')
            folded += folded.empty() || folded.back() == '_' ? "" : "_";
        else if (code >= 0xC0 && code <= 0x17F && LatinLetters[code - 0xC0] == '*')
            folded += TwoLetters(code);
        else if (code >= 0xC0 && code <= 0x17F && LatinLetters[code - 0xC0] != '-')
            folded += LatinLetters[code - 0xC0];
    }
    // Only a letter, a digit or '+' begins a handle the keypad reaches.
    size_t first = folded.find_first_not_of('_');
    folded.erase(0, first == std::string::npos ? folded.size() : first);
    while (!folded.empty() && folded.back() == '_')
        folded.pop_back();
    return folded;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

std::string ValidUtf8(const std::string& text) {
    std::string valid;
    for (size_t at = 0; at < text.size();) {
        unsigned code = 0;
        size_t length = CharacterAt(text, at, code);
        valid += length ? text.substr(at, length) : "?";
        at += length ? length : 1;
    }
    return valid;
}

std::string OneWord(const std::string& text) {
    std::string word;
    for (char c : ValidUtf8(text)) {
        if (c == ' ' || c == '\t')
            word += '_';
        else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            word += c;
    }
    return word;
}

std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (size_t at = 0; at < text.size(); ++at) {
        int high = at + 2 < text.size() && text[at] == '%' ? HexDigit(text[at + 1]) : -1;
        int low = high >= 0 ? HexDigit(text[at + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            at += 2;
        } else {
            decoded += text[at];
        }
    }
    return decoded;
}

bool IsDialString(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789*#+") == std::string::npos;
}

std::vector<std::string> MakeHandles(const std::vector<std::string>& names,
                                     const std::vector<std::string>& fallbacks) {
    std::vector<std::string> handles;
    // Every poll makes the handles anew: the handles taken and, per handle, the next number to try keep
    // that linear in the contacts, however many share a name.
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, int> nextNumber;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string handle = Folded(names[i]);
        if (handle.empty() && i < fallbacks.size())
            handle = Folded(PercentDecoded(fallbacks[i]));
        if (handle.empty())
            handle = "contact";
        // A contact named like a number stays a contact: "CALL 112" is always the number.
        if (IsDialString(handle))
            handle += "_sip";
        std::string unique = handle;
        int& number = nextNumber.try_emplace(handle, 2).first->second;
        while (!taken.insert(unique).second)
            unique = handle + "_" + std::to_string(number++);
        handles.push_back(unique);
    }
    return handles;
}

std::string PartyName(const std::string& displayName, const std::string& contactName,
                      const std::string& uri) {
    for (const std::string& name : {displayName, contactName}) {
        std::string word = OneWord(name);
        if (word.find_first_not_of('_') != std::string::npos)
            return word;
    }
    std::string rest = uri.substr(!uri.empty() && uri[0] == '<' ? 1 : 0);
    for (const char* scheme : {"sip:", "sips:", "tel:"})
        if (rest.size() >= std::char_traits<char>::length(scheme) &&
            std::equal(scheme, scheme + std::char_traits<char>::length(scheme), rest.begin(),
                       [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
            rest.erase(0, std::char_traits<char>::length(scheme));
    rest = rest.substr(0, rest.find_first_of(";?>"));
    size_t at = rest.find('@');
    std::string user = at == std::string::npos ? "" : OneWord(PercentDecoded(rest.substr(0, at)));
    if (!user.empty())
        return user;
    // No user part: the host, without a port.
    std::string host = at == std::string::npos ? rest : rest.substr(at + 1);
    size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']') == std::string::npos)
        host.erase(colon);
    std::string name = OneWord(host);
    return name.empty() ? "unknown" : name;
}
