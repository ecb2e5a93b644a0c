#pragma once
// The user's contacts as the program sees them: handles (one word each, as the program's word splitting
// needs) with a SIP address and a presence. They come from the `contacts` file in SipLink's folder, one a
// line as `"Name" <sip:address>;presence=p2p`; their presence from the phone.
#include <string>
#include <unordered_map>
#include <vector>

struct Contact {
    std::string handle;  // in a list read from the file: the contact's name; the book makes it a handle
    std::string address; // "sip:bob@127.0.0.1:5080"
    std::string presence = "UNKNOWN"; // as the program names it: ONLINE, OFFLINE, DND, UNKNOWN
    std::string name; // in the book: the contact's name in one word, as the handset shows a caller
};

// The contacts file's text: a line `"Name" <sip:address>;params`, `Name <sip:address>` or
// `sip:address`; blank lines and lines starting with '#' are none, and so is a line whose address is not a
// sip: or sips: address. A contact without a name is known by its user part.
std::vector<Contact> ParseContactsFile(const std::string& text);

// A handle as handles are compared: Skype ignores their case.
std::string HandleKey(const std::string& handle);

// Looked up by handle and by address in constant time: a presence change looks up every name the program
// asked about.
class ContactBook {
  public:
    // Each contact gets a handle the program's keypad browsing reaches (Names.h), its name kept; a contact
    // at an address the book had keeps the presence it had.
    void Replace(std::vector<Contact> list);
    // The presence of the contacts at this address; answers whether any changed.
    bool SetPresence(const std::string& uri, const std::string& presence);
    const std::vector<Contact>& All() const { return contacts; }
    // By handle, ignoring case (as Skype compares handles); nullptr when none.
    const Contact* ByHandle(const std::string& handle) const;
    // The first contact at the place the address names; nullptr when none.
    const Contact* ByAddress(const std::string& uri) const;

  private:
    std::vector<Contact> contacts;
    // The first contact of each handle (by HandleKey) and of each place (by AddressKey).
    std::unordered_map<std::string, size_t> byHandle;
    std::unordered_map<std::string, size_t> byAddress;
};
