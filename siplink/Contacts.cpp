#include "siplink/Contacts.h"

#include "siplink/Names.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// ESC '[' parameters final-letter sequences removed.
std::string WithoutColourCodes(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
            i += 2;
            while (i < text.size() && !std::isalpha(static_cast<unsigned char>(text[i])))
                ++i;
            continue;
        }
        plain += text[i];
    }
    return plain;
}

std::string PresenceName(const std::string& agentWord) {
    std::string word = Lower(agentWord);
    if (word == "online")
        return "ONLINE";
    if (word == "offline")
        return "OFFLINE";
    if (word == "busy")
        return "DND";
    return "UNKNOWN";
}

bool IsPresenceWord(const std::string& word) {
    std::string lower = Lower(word);
    return lower == "online" || lower == "offline" || lower == "busy" || lower == "unknown";
}

struct Place {
    std::string user;
    std::string hostPort;
};

Place PlaceOf(const std::string& uri) {
    std::string rest = Lower(uri.substr(0, 5)) == "sips:"  ? uri.substr(5)
                       : Lower(uri.substr(0, 4)) == "sip:" ? uri.substr(4)
                                                           : uri;
    rest = rest.substr(0, rest.find_first_of(";?>"));
    size_t at = rest.find('@');
    Place place;
    place.user = at == std::string::npos ? "" : rest.substr(0, at);
    place.hostPort = Lower(at == std::string::npos ? rest : rest.substr(at + 1));
    // A port after the host (not inside an IPv6 bracket) is kept; none means the SIP default.
    size_t colon = place.hostPort.rfind(':');
    size_t bracket = place.hostPort.rfind(']');
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
        place.hostPort += ":5060";
    return place;
}

// The place an address names as one text: the user part has no '@' (the address is cut at its first one).
std::string AddressKey(const std::string& uri) {
    Place place = PlaceOf(uri);
    return place.user + "@" + place.hostPort;
}

} // namespace

std::vector<Contact> ParseContactList(const std::string& text) {
    std::vector<Contact> contacts;
    std::istringstream lines(WithoutColourCodes(text));
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (!line.empty() && line[0] == '>')
            line = Trim(line.substr(1));
        size_t open = line.rfind('<');
        size_t close = line.rfind('>');
        size_t blank = line.find(' ');
        if (open == std::string::npos || close == std::string::npos || close < open ||
            blank == std::string::npos || blank > open || !IsPresenceWord(line.substr(0, blank)))
            continue;
        std::string name = Trim(line.substr(blank, open - blank));
        std::string address = line.substr(open + 1, close - open - 1);
        if (name.empty())
            name = UserPart(address);
        std::replace_if(
            name.begin(), name.end(), [](char c) { return c == ' ' || c == ','; }, '_');
        if (name.empty())
            continue;
        contacts.push_back(Contact{name, address, PresenceName(line.substr(0, blank)), ""});
    }
    return contacts;
}

std::string HandleKey(const std::string& handle) {
    return Lower(handle);
}

bool SameAddress(const std::string& a, const std::string& b) {
    return AddressKey(a) == AddressKey(b);
}

std::string UserPart(const std::string& uri) {
    Place place = PlaceOf(uri);
    return place.user.empty() ? uri : place.user;
}

void ContactBook::Replace(std::vector<Contact> list) {
    std::vector<std::string> names, userParts;
    for (const Contact& contact : list) {
        names.push_back(contact.handle);
        userParts.push_back(UserPart(contact.address));
    }
    std::vector<std::string> handles = MakeHandles(names, userParts);
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].name = OneWord(list[i].handle);
        list[i].handle = handles[i];
    }
    contacts = std::move(list);
    byHandle.clear();
    byAddress.clear();
    for (size_t i = 0; i < contacts.size(); ++i) {
        byHandle.emplace(HandleKey(contacts[i].handle), i);
        byAddress.emplace(AddressKey(contacts[i].address), i);
    }
    known = true;
}

void ContactBook::Forget() {
    contacts.clear();
    byHandle.clear();
    byAddress.clear();
    known = false;
}

const Contact* ContactBook::ByHandle(const std::string& handle) const {
    auto found = byHandle.find(HandleKey(handle));
    return found == byHandle.end() ? nullptr : &contacts[found->second];
}

const Contact* ContactBook::ByAddress(const std::string& uri) const {
    auto found = byAddress.find(AddressKey(uri));
    return found == byAddress.end() ? nullptr : &contacts[found->second];
}
