// The contacts file over any text, then the book and the presence memory built on it: every contact has a
// one-word handle of its own and a known presence, and is found again by its handle and its address; a
// presence set at a contact's address reaches it; what the program was told stays bounded and a second
// look finds no change. The first input byte sets how many names the program asks about: every contact's,
// then as many others (the memory keeps few of them, so that forgetting happens often).
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "siplink/Contacts.h"
#include "siplink/PresenceTold.h"
#include "siplink/SipAddress.h"

namespace {

bool KnownPresence(const std::string& presence) {
    return presence == "ONLINE" || presence == "OFFLINE" || presence == "DND" || presence == "UNKNOWN";
}

} // namespace

FUZZ_TARGET(ContactList) {
    FuzzInput input(data, size);
    size_t strangers = input.Byte() % 32;
    std::string text(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
    std::vector<Contact> list = ParseContactsFile(text);
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    FUZZ_CHECK(list.size() <= lines);

    ContactBook book;
    book.Replace(list);
    FUZZ_CHECK(book.All().size() == list.size());
    PresenceTold told(4);
    for (const Contact& contact : book.All()) {
        FUZZ_CHECK(!contact.handle.empty());
        FUZZ_CHECK(contact.handle.find_first_of(" ,\r\n") == std::string::npos);
        FUZZ_CHECK(KnownPresence(contact.presence));
        const Contact* byHandle = book.ByHandle(contact.handle);
        FUZZ_CHECK(byHandle == &contact);
        FUZZ_CHECK(contact.name.find_first_of(" \r\n") == std::string::npos);
        const Contact* byAddress = book.ByAddress(contact.address);
        FUZZ_CHECK(byAddress && SameAddress(byAddress->address, contact.address));
        told.Told(contact.handle, byHandle->presence, book);
    }
    // Each contact hears of its address being online, and the program is told each change once.
    for (const Contact& contact : book.All())
        book.SetPresence(contact.address, "ONLINE");
    for (const Contact& contact : book.All())
        FUZZ_CHECK(contact.presence == "ONLINE");
    for (const auto& [handle, status] : told.Changes(book))
        told.Told(handle, status, book);
    for (size_t i = 0; i < strangers; ++i) {
        std::string name = "stranger" + std::to_string(i);
        const Contact* contact = book.ByHandle(name);
        told.Told(name, contact ? contact->presence : "UNKNOWN", book);
        FUZZ_CHECK(told.Size() <= book.All().size() + 2 * told.StrangersKept());
    }
    FUZZ_CHECK(told.Changes(book).empty());
    // The same list again, from scratch: the same contacts.
    std::vector<Contact> again = ParseContactsFile(text);
    FUZZ_CHECK(again.size() == list.size());
    return 0;
}
