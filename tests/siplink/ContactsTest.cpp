// The agent's contact list as text, and SIP addresses compared the way calls are matched to contacts.
#include <gtest/gtest.h>

#include "siplink/Contacts.h"
#include "siplink/PresenceTold.h"

namespace {

TEST(Contacts, TheAgentsListIsReadWithItsColoursAndMarks) {
    std::vector<Contact> list = ParseContactList(
        "\n--- Contacts (5) ---\n>     \x1b[31mOffline\x1b[;m bob <sip:bob@127.0.0.1:5080>\n"
        "      \x1b[32mUnknown\x1b[;m Carol Smith, Jr <sip:carol@127.0.0.1:5100;transport=udp>\n"
        "  Busy  <sip:dave@example.org>\n"
        "  Online eve <sip:eve@host>\n"
        "  Away frank <sip:frank@host>\n"
        "  no status line\n");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].handle, "bob");
    EXPECT_EQ(list[0].address, "sip:bob@127.0.0.1:5080");
    EXPECT_EQ(list[0].presence, "OFFLINE");
    EXPECT_EQ(list[1].handle, "Carol_Smith__Jr") << "a handle is one word without commas";
    EXPECT_EQ(list[1].presence, "UNKNOWN");
    EXPECT_EQ(list[2].handle, "dave") << "a contact without a name is known by its user part";
    EXPECT_EQ(list[2].presence, "DND");
    EXPECT_EQ(list[3].presence, "ONLINE");
    EXPECT_TRUE(ParseContactList("").empty());
}

TEST(Contacts, AHandleAndANameHoldNoControlCharacters) {
    // A zero byte would end the program's "USERS" notification there, a tab or CR would split a word.
    ContactBook book;
    book.Replace(ParseContactList(std::string(" Online a\tb\rc\0d\x7f <sip:x@h>\n", 27)));
    ASSERT_EQ(book.All().size(), 1u);
    for (const std::string& text : {book.All()[0].handle, book.All()[0].name})
        for (char c : text)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << text;
}

TEST(Contacts, CallsAreMatchedToContactsByTheirAddress) {
    EXPECT_TRUE(SameAddress("sip:alice@127.0.0.1:5060", "sip:alice@127.0.0.1:5060;transport=udp"));
    EXPECT_TRUE(SameAddress("sip:alice@Example.ORG", "SIP:alice@example.org:5060"));
    EXPECT_TRUE(SameAddress("sips:alice@[::1]", "sip:alice@[::1]:5060"));
    EXPECT_FALSE(SameAddress("sip:alice@127.0.0.1:5060", "sip:alice@127.0.0.1:5080"));
    EXPECT_FALSE(SameAddress("sip:Alice@host", "sip:alice@host")) << "the user part keeps its case";
    EXPECT_EQ(UserPart("sip:0044207@127.0.0.1;transport=udp"), "0044207");
    EXPECT_EQ(UserPart("12345"), "12345");

    ContactBook book;
    EXPECT_FALSE(book.Known());
    book.Replace(ParseContactList(" Online Bob <sip:bob@127.0.0.1:5080>\n"));
    EXPECT_TRUE(book.Known());
    ASSERT_NE(book.ByHandle("BOB"), nullptr);
    const Contact* bob = book.ByAddress("sip:bob@127.0.0.1:5080;transport=udp");
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->name, "Bob");
    EXPECT_EQ(book.ByAddress("sip:bob@127.0.0.1:5090"), nullptr) << "another place";
    book.Forget();
    EXPECT_FALSE(book.Known());
    EXPECT_EQ(book.ByHandle("Bob"), nullptr);
}

TEST(Contacts, TheFirstOfTwoEqualHandlesOrAddressesIsTheOneFound) {
    ContactBook book;
    book.Replace(
        ParseContactList(" Online bob <sip:bob@host>\n Busy BOB <sip:bob@host:5060;transport=tcp>\n"));
    ASSERT_EQ(book.All().size(), 2u);
    EXPECT_EQ(book.ByHandle(book.All()[0].handle), &book.All()[0]);
    EXPECT_EQ(book.ByHandle(book.All()[1].handle), &book.All()[1]) << "each gets a handle of its own";
    EXPECT_EQ(book.ByAddress("sip:bob@HOST:5060"), &book.All()[0]);
    EXPECT_EQ(book.ByAddress("sip:bob@host:5061"), nullptr);
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
    ContactBook book;
    book.Replace(ParseContactList(" Online carol <sip:c@h>\n Online alice <sip:a@h>\n"));
    PresenceTold told;
    told.Told("alice", "ONLINE", book);
    told.Told("Carol", "ONLINE", book);
    told.Told("nobody", "UNKNOWN", book);
    told.Told("ALICE", "ONLINE", book); // the same name again, asked in another case
    EXPECT_EQ(told.Size(), 3u);
    EXPECT_TRUE(told.Changes(book).empty());

    book.Replace(
        ParseContactList(" Offline carol <sip:c@h>\n Busy alice <sip:a@h>\n Online nobody <sip:n@h>\n"));
    EXPECT_EQ(told.Changes(book).size(), 3u);
    EXPECT_EQ(told.Changes(book).size(), 3u) << "a change not yet told (no program took it) is found again";
    EXPECT_EQ(Tell(told, book), (std::vector<std::string>{"ALICE DND", "Carol OFFLINE", "nobody ONLINE"}));
    EXPECT_TRUE(told.Changes(book).empty()) << "a change is told once";
    book.Forget();
    EXPECT_EQ(Tell(told, book),
              (std::vector<std::string>{"ALICE UNKNOWN", "Carol UNKNOWN", "nobody UNKNOWN"}));
}

TEST(PresenceTold, NamesThatAreNoContactsAreKeptOnlyTheLastFew) {
    std::string list;
    for (int i = 0; i < 1000; ++i)
        list += " Online c" + std::to_string(i) + " <sip:c" + std::to_string(i) + "@h>\n";
    ContactBook book;
    book.Replace(ParseContactList(list));
    PresenceTold told;
    for (int i = 0; i < 1000; ++i)
        told.Told("c" + std::to_string(i), "ONLINE", book);
    for (int i = 0; i < 100000; ++i) {
        told.Told("stranger" + std::to_string(i), "UNKNOWN", book);
        ASSERT_LE(told.Size(), 1000 + 2 * told.StrangersKept()) << "after " << i;
    }
    // Every contact is still followed, and so are the strangers asked about last.
    std::string now = "Online stranger99999 <sip:s@h>\nOnline stranger0 <sip:s0@h>\n";
    for (int i = 0; i < 1000; ++i)
        now += " Busy c" + std::to_string(i) + " <sip:c" + std::to_string(i) + "@h>\n";
    book.Replace(ParseContactList(now));
    std::vector<std::string> changes = Tell(told, book);
    ASSERT_EQ(changes.size(), 1001u) << "stranger0, asked about 100,000 names ago, is forgotten";
    EXPECT_EQ(changes.front(), "c0 DND");
    EXPECT_EQ(changes.back(), "stranger99999 ONLINE");
}

} // namespace
