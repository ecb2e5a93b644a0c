#include "siplink/Names.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

#include "siplink/SipAddress.h"
#include "siplink/Utf8.h"

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

// The name in the handles' alphabet: letters folded to plain lower case, blanks and the like made '_'.
std::string Folded(const std::string& name) {
    std::string folded;
    for (size_t at = 0; at < name.size();) {
        unsigned code = 0;
        size_t length = Utf8CharacterAt(name, at, code);
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

std::string CallerHandle(const std::string& uri) {
    SipAddress address = ReadSipAddress(uri);
    std::string user = PercentDecoded(address.user);
    if (IsDialString(user))
        return user;
    std::string lower = user;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (lower == "anonymous" || (user.empty() && address.host.empty()))
        return "anonymous";
    return OneWord("sip:" + (address.user.empty() ? "" : address.user + "@") + address.host);
}

std::string PartyName(const std::string& displayName, const std::string& contactName,
                      const std::string& uri) {
    for (const std::string& name : {displayName, contactName}) {
        std::string word = OneWord(name);
        if (word.find_first_not_of('_') != std::string::npos)
            return word;
    }
    SipAddress address = ReadSipAddress(uri);
    std::string user = OneWord(PercentDecoded(address.user));
    if (!user.empty())
        return user;
    // No user part: the host, without a port.
    std::string host = address.host;
    size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']') == std::string::npos)
        host.erase(colon);
    std::string name = OneWord(host);
    return name.empty() ? "unknown" : name;
}
