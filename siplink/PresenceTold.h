#pragma once
// What the program was told of each name's presence, so that a poll tells it changes only. A name is kept
// once whatever its case (as Skype compares handles). Every name that is a contact is kept; of the names
// that are not (told UNKNOWN), only the few asked about last, so that a client asking about ever new names
// cannot make SipLink grow.
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "siplink/Contacts.h"

class PresenceTold {
  public:
    // How many names that are no contacts are kept at least; at most twice as many.
    explicit PresenceTold(size_t strangersKept = 256) : strangersKept(strangersKept) {}

    // The program was told `status` for `handle`.
    void Told(const std::string& handle, const std::string& status, const ContactBook& book);
    // After a new contact list: each name whose presence is not what the program was told, with its
    // presence now, in the order the names were first asked about. Only Told takes a change as told.
    std::vector<std::pair<std::string, std::string>> Changes(const ContactBook& book);
    // A new program knows nothing yet.
    void Clear() { names.clear(); }
    size_t Size() const { return names.size(); }
    size_t StrangersKept() const { return strangersKept; }

  private:
    struct Entry {
        std::string handle; // as the program last asked
        std::string status;
        unsigned long long first = 0; // when first asked: the order changes are told in
        unsigned long long last = 0;  // when last asked: the strangers asked least recently go first
    };

    void ForgetOldStrangers(const ContactBook& book);

    const size_t strangersKept;
    std::unordered_map<std::string, Entry> names; // by HandleKey
    unsigned long long asked = 0;
};
