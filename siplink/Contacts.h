#pragma once
// The user agent's contacts as the program sees them: handles (one word each, as the program's word
// splitting needs) with a SIP address and a presence.
#include <string>
#include <unordered_map>
#include <vector>

struct Contact {
    std::string handle;   // the contact's name, blanks and commas made '_'; the book makes it a handle
    std::string address;  // "sip:bob@127.0.0.1:5080"
    std::string presence; // as the program names it: ONLINE, OFFLINE, DND, UNKNOWN
    std::string name;     // in the book: the contact's name in one word, as the handset shows a caller
};

// The text the agent answers to "contacts": a heading, then one line per contact such as
// "> \x1b[32mOnline\x1b[;m bob <sip:bob@127.0.0.1:5080>" (colour codes and the '>' of the current
// contact optional). Lines that are not contacts are left out.
std::vector<Contact> ParseContactList(const std::string& text);

// The same place in SIP terms: scheme, parameters and case of the host ignored; no port means 5060.
bool SameAddress(const std::string& a, const std::string& b);
// "bob" from "sip:bob@host:5080;transport=udp"; the whole text when it has no user part.
std::string UserPart(const std::string& uri);

// A handle as handles are compared: Skype ignores their case.
std::string HandleKey(const std::string& handle);

// Looked up by handle and by address in constant time: the presence poll looks up every name the program
// asked about in every new list.
class ContactBook {
  public:
    // Each contact gets a handle the program's keypad browsing reaches (Names.h), its name kept.
    void Replace(std::vector<Contact> list);
    void Forget();
    bool Known() const { return known; }
    const std::vector<Contact>& All() const { return contacts; }
    // By handle, ignoring case (as Skype compares handles); nullptr when none.
    const Contact* ByHandle(const std::string& handle) const;
    const Contact* ByAddress(const std::string& uri) const;

  private:
    std::vector<Contact> contacts;
    // The first contact of each handle (by HandleKey) and of each place.
    std::unordered_map<std::string, size_t> byHandle;
    std::unordered_map<std::string, size_t> byAddress;
    bool known = false; // a list has arrived since the agent connected
};
