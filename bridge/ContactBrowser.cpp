// Browsing the Skype contacts with the handset's digit keys, the way a keypad's letters work.
#include "app/MainDialog.h"

namespace {

// Whether a handle's first byte belongs to a key's group: '1' digits and '+', '2' to '9' the keypad's
// letters, '0' every lower-case letter. Upper case and anything else belong to no group.
bool InGroup(BYTE key, BYTE first) {
    struct Letters {
        BYTE key, from, to;
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

bool MainDialog::FindContactInGroup(std::list<ContactRecord>::iterator start, BYTE key) {
    for (auto contact = start; contact != contacts.end(); ++contact) {
        if (contact->handle.empty() || !InGroup(key, static_cast<BYTE>(contact->handle[0])))
            continue;
        // The box is read at each match, so a change on the panel applies at once.
        if (onlineOnlyBox.Checked() && !Online(*contact))
            continue;
        dialString = contact->handle;
        browseNext = std::next(contact);
        ShowOnHandset(contact->handle);
        return true;
    }
    return false;
}
