// The names SipLink gives the program: handles the keypad reaches, callers' names, clean UTF-8.
#include <gtest/gtest.h>

#include "siplink/Contacts.h"
#include "siplink/Names.h"
#include "siplink/Utf8.h"

namespace {

// The keypad's browsing reaches a handle that begins with a digit, '+' or a lower-case ASCII letter.
bool Reachable(const std::string& handle) {
    return !handle.empty() && (std::isdigit(static_cast<unsigned char>(handle[0])) || handle[0] == '+' ||
                               (handle[0] >= 'a' && handle[0] <= 'z'));
}

TEST(Names, EveryContactGetsAHandleTheKeypadReachesAndKeepsItsAddress) {
    ContactBook book;
    book.Replace(ParseContactsFile("Carol Smith <sip:carol@host>\n"
                                   "ALICE <sip:alice@host>\n"
                                   "J\xC3\xBCrgen <sip:juergen@host>\n"
                                   "\xC3\x86sa \xC5\x81\xC3\xB3"
                                   "d\xC5\xBA <sip:asa@host>\n"
                                   "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD <sip:ivan%2Epetrov@host>\n"
                                   "_Under <sip:u@host>\n"
                                   "alice <sip:alice2@host>\n"
                                   "112 <sip:112@host>\n"
                                   "+49 30 <sip:berlin@host>\n"
                                   "\xE2\x98\x8E <sip:%E2%98%8E@host>\n"));
    std::vector<std::string> handles;
    for (const Contact& contact : book.All())
        handles.push_back(contact.handle);
    EXPECT_EQ(handles, (std::vector<std::string>{"carol_smith", "alice", "jurgen", "aesa_lodz", "ivan_petrov",
                                                 "under", "alice_2", "112_sip", "+49_30", "contact"}));
    for (const std::string& handle : handles) {
        EXPECT_TRUE(Reachable(handle)) << handle;
        EXPECT_FALSE(IsDialString(handle)) << handle << ": CALL " << handle << " would dial a number";
    }
    ASSERT_NE(book.ByHandle("jurgen"), nullptr);
    EXPECT_EQ(book.ByHandle("jurgen")->address, "sip:juergen@host");
    EXPECT_EQ(book.ByHandle("jurgen")->name, "J\xC3\xBCrgen");
    EXPECT_EQ(book.ByHandle("alice_2")->address, "sip:alice2@host");
    EXPECT_EQ(book.ByHandle("carol_smith")->name, "Carol_Smith") << "a name is shown as one word";
}

TEST(Names, ACallerIsNamedByDisplayNameContactOrUnescapedUserPartNeverAUri) {
    EXPECT_EQ(PartyName("J\xC3\xBCrgen M\xC3\xBCller", "jm", "sip:jm@host"), "J\xC3\xBCrgen_M\xC3\xBCller");
    EXPECT_EQ(PartyName("", "Carol_Smith", "sip:carol@host"), "Carol_Smith");
    EXPECT_EQ(PartyName("  ", "", "sip:j%C3%BCrgen@host:5060;transport=udp"), "j\xC3\xBCrgen");
    EXPECT_EQ(PartyName("", "", "sips:+4930123@host"), "+4930123");
    EXPECT_EQ(PartyName("", "", "SIP:bob%20smith@host"), "bob_smith");
    EXPECT_EQ(PartyName("", "", "sip:example.org:5080;transport=tcp"), "example.org") << "no user part";
    EXPECT_EQ(PartyName("", "", "<sip:%ZZ%4@host>"), "%ZZ%4") << "broken escapes stay";
    EXPECT_EQ(PartyName("", "", ""), "unknown");

    // A caller is called back by the number, or by the whole address when the user part is a name.
    EXPECT_EQ(CallerHandle("sip:%2B4930123@host;user=phone"), "+4930123");
    EXPECT_EQ(CallerHandle("<sip:0301234*5#@host>"), "0301234*5#");
    EXPECT_EQ(CallerHandle("sip:Anonymous@anonymous.invalid"), "anonymous");
    EXPECT_EQ(CallerHandle(""), "anonymous");
    EXPECT_EQ(CallerHandle("sip:bob@host:5080;transport=tcp"), "sip:bob@host:5080");
    EXPECT_EQ(CallerHandle("sip:host.example"), "sip:host.example");
    EXPECT_EQ(CallerHandle("sip:bob smith@host"), "sip:bob_smith@host") << "one word";
}

TEST(Names, WhatGoesToTheProgramIsValidUtf8InOneLine) {
    EXPECT_EQ(ValidUtf8("ok \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x9E"),
              "ok \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x9E");
    EXPECT_EQ(ValidUtf8("\xC3"), "?") << "a character cut short";
    EXPECT_EQ(ValidUtf8("a\xC3(b"), "a?(b");
    EXPECT_EQ(ValidUtf8("\xC0\xAF\xE0\x80\xAF"), "?????") << "overlong forms";
    EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), "???") << "a surrogate";
    EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80\xFF"), "?????") << "beyond Unicode";
    EXPECT_EQ(OneWord("Eve\r\nCALL 9 STATUS FINISHED\x01\tx"), "EveCALL_9_STATUS_FINISHED_x");
    EXPECT_EQ(PercentDecoded("a%41%zz%4"), "aA%zz%4");
}

TEST(Names, OnlyKeypadCharactersMakeANumber) {
    EXPECT_TRUE(IsDialString("0049301234"));
    EXPECT_TRUE(IsDialString("+44*12#"));
    EXPECT_FALSE(IsDialString(""));
    EXPECT_FALSE(IsDialString("bob"));
    EXPECT_FALSE(IsDialString("112_sip"));
}

} // namespace
