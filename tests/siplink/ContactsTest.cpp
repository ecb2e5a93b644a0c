// The user's contacts file, SIP addresses compared the way calls are matched to contacts, and what the
// program was told of each contact's presence.
#include <gtest/gtest.h>

#include "siplink/Contacts.h"
#include "siplink/PresenceTold.h"
#include "siplink/SipAddress.h"

namespace {

// A book of contacts "NAME <sip:...>" lines with each contact's presence set as the phone reports it.
ContactBook Book(const std::vector<std::pair<std::string, std::string>>& linesAndPresence) {
    std::string text;
    for (const auto& entry : linesAndPresence)
        text += entry.first + "\n";
    ContactBook book;
    book.Replace(ParseContactsFile(text));
    for (size_t i = 0; i < linesAndPresence.size() && i < book.All().size(); ++i)
        book.SetPresence(book.All()[i].address, linesAndPresence[i].second);
    return book;
}

TEST(Contacts, TheFileIsReadAsUsersWriteIt) {
    std::vector<Contact> list =
        ParseContactsFile("\xEF\xBB\xBF\"bob\" <sip:bob@127.0.0.1:5080>;presence=p2p\r\n"
                          "# a comment <sip:nobody@host>\n"
                          "\n"
                          "   Carol Smith, Jr <sip:carol@127.0.0.1:5100;transport=udp>  \n"
                          "<sips:dave@example.org>\n"
                          "sip:eve%20e@host;transport=tcp\n"
                          "\"frank\" <mailto:frank@host>\n"
                          "no address at all\n"
                          "\"open\" <sip:open@host\n"
                          "\"J\xC3\xBCrgen\" <sip:juergen@host>");
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].handle, "bob") << "the byte order mark Notepad writes is no part of the name";
    EXPECT_EQ(list[0].address, "sip:bob@127.0.0.1:5080");
    EXPECT_EQ(list[0].presence, "UNKNOWN");
    EXPECT_EQ(list[1].handle, "Carol Smith, Jr");
    EXPECT_EQ(list[1].address, "sip:carol@127.0.0.1:5100;transport=udp");
    EXPECT_EQ(list[2].handle, "dave") << "a contact without a name is known by its user part";
    EXPECT_EQ(list[3].handle, "eve e");
    EXPECT_EQ(list[3].address, "sip:eve%20e@host");
    EXPECT_EQ(list[4].handle, "J\xC3\xBCrgen") << "the last line needs no line break";
    EXPECT_TRUE(ParseContactsFile("").empty());

    // A zero byte would end the program's "USERS" notification there, a tab or CR would split a word.
    ContactBook book;
    book.Replace(ParseContactsFile(std::string("\"a\tb\rc\0d\x7f\" <sip:x@h>\n", 22)));
    ASSERT_EQ(book.All().size(), 1u);
    for (const std::string& text : {book.All()[0].handle, book.All()[0].name})
        for (char c : text)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << text;
}

TEST(Contacts, CallsAreMatchedToContactsByTheirAddress) {
    EXPECT_TRUE(SameAddress("sip:alice@127.0.0.1:5060", "sip:alice@127.0.0.1:5060;transport=udp"));
    EXPECT_TRUE(SameAddress("sip:alice@Example.ORG", "SIP:alice@example.org:5060"));
    EXPECT_TRUE(SameAddress("sips:alice@[::1]", "<sip:alice@[::1]:5060>"));
    EXPECT_TRUE(SameAddress("sip:+4930;npdi@host", "sip:+4930@host")) << "the user part's own parameters";
    EXPECT_FALSE(SameAddress("sip:alice@127.0.0.1:5060", "sip:alice@127.0.0.1:5080"));
    EXPECT_FALSE(SameAddress("sip:Alice@host", "sip:alice@host")) << "the user part keeps its case";
    EXPECT_EQ(ReadSipAddress("sip:0044207@127.0.0.1;transport=udp").user, "0044207");
    EXPECT_EQ(ReadSipAddress("<tel:+4930123>").host, "+4930123") << "no user part";
    EXPECT_EQ(ReadSipAddress("sip:bob@host:5080?subject=x").host, "host:5080");

    ContactBook book = Book({{"Bob <sip:bob@127.0.0.1:5080>", "ONLINE"},
                             {"bob <sip:bob@host>", "DND"},
                             {"BOB <sip:bob@host:5060;transport=tcp>", "DND"}});
    ASSERT_EQ(book.All().size(), 3u);
    ASSERT_NE(book.ByHandle("BOB"), nullptr);
    const Contact* bob = book.ByAddress("sip:bob@127.0.0.1:5080;transport=udp");
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->name, "Bob");
    EXPECT_EQ(bob->presence, "ONLINE");
    EXPECT_EQ(book.ByAddress("sip:bob@127.0.0.1:5090"), nullptr) << "another place";
    for (const Contact& contact : book.All())
        EXPECT_EQ(book.ByHandle(contact.handle), &contact) << "each gets a handle of its own";
    EXPECT_EQ(book.ByAddress("sip:bob@HOST:5060"), &book.All()[1]) << "the first at a place is found";

    // The file read again keeps what the phone said of each address; a presence reaches every contact there.
    EXPECT_TRUE(book.SetPresence("sip:bob@host", "OFFLINE"));
    EXPECT_FALSE(book.SetPresence("sip:bob@host", "OFFLINE")) << "no change";
    EXPECT_EQ(book.All()[2].presence, "OFFLINE");
    book.Replace(ParseContactsFile("carol <sip:carol@h>\nbob <sip:bob@host>\n"));
    EXPECT_EQ(book.All()[0].presence, "UNKNOWN");
    EXPECT_EQ(book.All()[1].presence, "OFFLINE");
}

// Each change the memory finds, told to the program as SipLink tells it.
std::vector<std::string> Tell(PresenceTold& told, const ContactBook& book) {
    std::vector<std::string> lines;
    for (const auto& [handle, status] : told.Changes(book)) {
        told.Told(handle, status, book);
        lines.push_back(handle + " " + status);
    }
    return lines;
}

TEST(PresenceTold, ChangesAreToldOnceInTheOrderNamesWereFirstAskedAbout) {
    ContactBook book = Book({{"carol <sip:c@h>", "ONLINE"}, {"alice <sip:a@h>", "ONLINE"}});
    PresenceTold told;
    told.Told("alice", "ONLINE", book);
    told.Told("Carol", "ONLINE", book);
    told.Told("nobody", "UNKNOWN", book);
    told.Told("ALICE", "ONLINE", book); // the same name again, asked in another case
    EXPECT_EQ(told.Size(), 3u);
    EXPECT_TRUE(told.Changes(book).empty());

    book = Book({{"carol <sip:c@h>", "OFFLINE"}, {"alice <sip:a@h>", "DND"}, {"nobody <sip:n@h>", "ONLINE"}});
    EXPECT_EQ(told.Changes(book).size(), 3u);
    EXPECT_EQ(told.Changes(book).size(), 3u) << "a change not yet told (no program took it) is found again";
    EXPECT_EQ(Tell(told, book), (std::vector<std::string>{"ALICE DND", "Carol OFFLINE", "nobody ONLINE"}));
    EXPECT_TRUE(told.Changes(book).empty()) << "a change is told once";
    book.Replace({});
    EXPECT_EQ(Tell(told, book),
              (std::vector<std::string>{"ALICE UNKNOWN", "Carol UNKNOWN", "nobody UNKNOWN"}));
}

TEST(PresenceTold, NamesThatAreNoContactsAreKeptOnlyTheLastFew) {
    std::vector<std::pair<std::string, std::string>> contacts;
    for (int i = 0; i < 1000; ++i)
        contacts.push_back({"c" + std::to_string(i) + " <sip:c" + std::to_string(i) + "@h>", "ONLINE"});
    ContactBook book = Book(contacts);
    PresenceTold told;
    for (int i = 0; i < 1000; ++i)
        told.Told("c" + std::to_string(i), "ONLINE", book);
    for (int i = 0; i < 100000; ++i) {
        told.Told("stranger" + std::to_string(i), "UNKNOWN", book);
        ASSERT_LE(told.Size(), 1000 + 2 * told.StrangersKept()) << "after " << i;
    }
    // Every contact is still followed, and so are the strangers asked about last.
    std::vector<std::pair<std::string, std::string>> now = {{"stranger99999 <sip:s@h>", "ONLINE"},
                                                            {"stranger0 <sip:s0@h>", "ONLINE"}};
    for (auto& contact : contacts)
        now.push_back({contact.first, "DND"});
    book = Book(now);
    std::vector<std::string> changes = Tell(told, book);
    ASSERT_EQ(changes.size(), 1001u) << "stranger0, asked about 100,000 names ago, is forgotten";
    EXPECT_EQ(changes.front(), "c0 DND");
    EXPECT_EQ(changes.back(), "stranger99999 ONLINE");
}

} // namespace
