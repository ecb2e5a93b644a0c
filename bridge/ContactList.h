#pragma once
// The user's Skype contacts in the order they came, each handle once, and browsing them by keypad group.
// Plain C++, no window.
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_set>
#include <vector>

// What one USERS answer may add. Each new contact costs a status query at the queue's pace (one per 200 ms,
// so 1,000 take over three minutes), and a handset pages contacts one by one by keypad group: an answer
// beyond this is a fault or an attack on the queue, not a list a user browses. A later answer adds the next
// ones.
constexpr size_t MaxContactsPerAnswer = 1000;

struct ContactRecord {
    std::string handle;
    std::string onlineStatus; // empty until Skype has reported it
};

class ContactList {
  public:
    // The names of one USERS answer: sorted by byte value, and appended unless the list has them already,
    // at most MaxContactsPerAnswer of them. Answers the names added, in order.
    std::vector<std::string> Add(std::vector<std::string> names);
    // A handle no contact has changes nothing.
    void SetOnlineStatus(const std::string& handle, const std::string& status);

    // The first visible contact of a key's group, searched from the first contact or from the one after
    // the contact last found; nullptr when there is none, and then nothing changes.
    const ContactRecord* FindFromFirst(uint8_t key, bool onlineOnly);
    const ContactRecord* FindNext(uint8_t key, bool onlineOnly);

    bool Empty() const { return contacts.empty(); }
    const std::list<ContactRecord>& Contacts() const { return contacts; }

  private:
    const ContactRecord* FindFrom(std::list<ContactRecord>::const_iterator start, uint8_t key,
                                  bool onlineOnly);

    std::list<ContactRecord> contacts;
    // The handles of contacts, to find a name again without walking the list.
    std::unordered_set<std::string> handles;
    // After the contact last found; the end when it was the last. Appending keeps it valid.
    std::list<ContactRecord>::const_iterator browseNext = contacts.end();
};

// Ascending by byte value as strcmp compares; equal names keep their order.
void SortContactNames(std::vector<std::string>& names);
