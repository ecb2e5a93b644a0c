// The agent's contact list as text, and SIP addresses compared the way calls are matched to contacts.
#include <gtest/gtest.h>

#include "siplink/Contacts.h"

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

} // namespace
