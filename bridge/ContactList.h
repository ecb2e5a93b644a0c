#pragma once
// The user's Skype contacts in the order they came, each handle once, and browsing them by keypad group.
// Plain C++, no window.
#include <cstdint>
#include <list>
#include <string>
#include <vector>

struct ContactRecord {
    std::string handle;
    std::string onlineStatus; // empty until Skype has reported it
};

class ContactList {
  public:
    // The names of one USERS answer: sorted by byte value, and appended unless the list has them already.
    // Answers the names added, in order.
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
    // After the contact last found; the end when it was the last. Appending keeps it valid.
    std::list<ContactRecord>::const_iterator browseNext = contacts.end();
};

// Ascending by byte value as strcmp compares; equal names keep their order.
void SortContactNames(std::vector<std::string>& names);
