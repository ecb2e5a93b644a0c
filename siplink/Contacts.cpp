#include "siplink/Contacts.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "siplink/Names.h"
#include "siplink/SipAddress.h"

namespace {

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool IsSipAddress(const std::string& text) {
    std::string scheme = text.substr(0, text.find(':') + 1);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return (scheme == "sip:" || scheme == "sips:") && text.size() > scheme.size();
}

} // namespace

std::vector<Contact> ParseContactsFile(const std::string& text) {
    std::vector<Contact> contacts;
    // Notepad begins a UTF-8 file with a byte order mark.
    std::istringstream lines(text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        size_t open = line.find('<');
        size_t close = open == std::string::npos ? std::string::npos : line.find('>', open);
        std::string name, address;
        if (close != std::string::npos) {
            name = Trim(line.substr(0, open));
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
                name = name.substr(1, name.size() - 2);
            address = Trim(line.substr(open + 1, close - open - 1));
        } else if (open == std::string::npos) {
            address = Trim(line.substr(0, line.find(';')));
        }
        if (!IsSipAddress(address))
            continue;
        if (name.empty())
            name = PercentDecoded(ReadSipAddress(address).user);
        contacts.push_back(Contact{name, address, "UNKNOWN", ""});
    }
    return contacts;
}

std::string HandleKey(const std::string& handle) {
    std::string key = handle;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return key;
}

void ContactBook::Replace(std::vector<Contact> list) {
    std::vector<std::string> names, userParts;
    for (const Contact& contact : list) {
        names.push_back(contact.handle);
        userParts.push_back(ReadSipAddress(contact.address).user);
    }
    std::vector<std::string> handles = MakeHandles(names, userParts);
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].name = OneWord(list[i].handle);
        list[i].handle = handles[i];
        if (const Contact* before = ByAddress(list[i].address))
            list[i].presence = before->presence;
    }
    contacts = std::move(list);
    byHandle.clear();
    byAddress.clear();
    for (size_t i = 0; i < contacts.size(); ++i) {
        byHandle.emplace(HandleKey(contacts[i].handle), i);
        byAddress.emplace(AddressKey(contacts[i].address), i);
    }
}

bool ContactBook::SetPresence(const std::string& uri, const std::string& presence) {
    bool changed = false;
    std::string key = AddressKey(uri);
    for (Contact& contact : contacts)
        if (AddressKey(contact.address) == key && contact.presence != presence) {
            contact.presence = presence;
            changed = true;
        }
    return changed;
}

const Contact* ContactBook::ByHandle(const std::string& handle) const {
    auto found = byHandle.find(HandleKey(handle));
    return found == byHandle.end() ? nullptr : &contacts[found->second];
}

const Contact* ContactBook::ByAddress(const std::string& uri) const {
    auto found = byAddress.find(AddressKey(uri));
    return found == byAddress.end() ? nullptr : &contacts[found->second];
}
