#include "bridge/ContactList.h"

#include <algorithm>

namespace {

// Whether a handle's first byte belongs to a key's group: '1' digits and '+', '2' to '9' the keypad's
// letters, '0' every lower-case letter. Upper case and anything else belong to no group.
bool InGroup(uint8_t key, uint8_t first) {
    struct Letters {
        uint8_t key, from, to;
    };
    static const Letters keypad[] = {{'2', 'a', 'c'}, {'3', 'd', 'f'}, {'4', 'g', 'i'},
                                     {'5', 'j', 'l'}, {'6', 'm', 'o'}, {'7', 'p', 's'},
                                     {'8', 't', 'v'}, {'9', 'w', 'z'}, {'0', 'a', 'z'}};
    if (key == '1')
        return (first >= '0' && first <= '9') || first == '+';
    for (const Letters& letters : keypad) {
        if (letters.key == key)
            return first >= letters.from && first <= letters.to;
    }
    return false;
}

bool Online(const ContactRecord& contact) {
    return contact.onlineStatus == "ONLINE" || contact.onlineStatus == "SKYPEOUT";
}

} // namespace

void SortContactNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return a.compare(b) < 0; });
}

// A handle that is already there (a second answer after the base came back, or a name given twice) is
// not added again: browsing would page through it twice.
std::vector<std::string> ContactList::Add(std::vector<std::string> names) {
    SortContactNames(names);
    std::vector<std::string> added;
    for (const std::string& name : names) {
        if (added.size() == MaxContactsPerAnswer)
            break;
        if (!handles.insert(name).second)
            continue;
        contacts.push_back(ContactRecord{name, ""});
        added.push_back(name);
    }
    return added;
}

void ContactList::SetOnlineStatus(const std::string& handle, const std::string& status) {
    for (ContactRecord& contact : contacts) {
        if (contact.handle == handle) {
            contact.onlineStatus = status;
            return;
        }
    }
}

const ContactRecord* ContactList::FindFromFirst(uint8_t key, bool onlineOnly) {
    return FindFrom(contacts.begin(), key, onlineOnly);
}

const ContactRecord* ContactList::FindNext(uint8_t key, bool onlineOnly) {
    return FindFrom(browseNext, key, onlineOnly);
}

const ContactRecord* ContactList::FindFrom(std::list<ContactRecord>::const_iterator start, uint8_t key,
                                           bool onlineOnly) {
    for (auto contact = start; contact != contacts.end(); ++contact) {
        if (contact->handle.empty() || !InGroup(key, static_cast<uint8_t>(contact->handle[0])))
            continue;
        if (onlineOnly && !Online(*contact))
            continue;
        browseNext = std::next(contact);
        return &*contact;
    }
    return nullptr;
}
