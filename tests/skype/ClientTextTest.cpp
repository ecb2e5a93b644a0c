// The client's UTF-8 and the program's ANSI code page: names that the code page has arrive as they are
// written and go back to the client unchanged, others as their best fit; nothing but UTF-8 is converted,
// and a display never shows half a character.
#include <gtest/gtest.h>
#include <windows.h>

#include "skype/ClientText.h"

namespace {

// The tests name Western characters by their bytes in code page 1252, the one Wine and most Windows
// installations in Western Europe and America run with.
class ClientText : public ::testing::Test {
  protected:
    void SetUp() override {
        if (GetACP() != 1252)
            GTEST_SKIP() << "the ANSI code page here is " << GetACP() << ", not 1252";
    }
};

TEST_F(ClientText, Utf8NamesArriveInTheCodePageAndGoBackAsTheyCame) {
    const std::pair<std::string, std::string> names[] = {
        {"J\xC3\xBCrgen", "J\xFCrgen"},
        {"Zo\xC3\xAB \xC3\x85"
         "berg",
         "Zo\xEB \xC5"
         "berg"},
        {"\xE2\x82\xAC 5", "\x80 5"}, // the euro sign has a place of its own in 1252
        {"alice", "alice"},
        {"", ""},
    };
    for (const auto& [utf8, ansi] : names) {
        EXPECT_EQ(ClientToProgramText(utf8), ansi) << utf8;
        EXPECT_EQ(ProgramToClientText(ansi), utf8) << utf8;
    }
}

TEST_F(ClientText, ACharacterTheCodePageLacksBecomesItsBestFit) {
    // Polish and Czech letters outside 1252 lose their marks; a character with no likeness is '?'.
    EXPECT_EQ(ClientToProgramText("\xC5\x81"
                                  "ukasz \xC4\x8C"
                                  "ech"),
              "Lukasz Cech");
    EXPECT_EQ(ClientToProgramText("a\xE4\xB8\xAD"
                                  "b"),
              "a?b");
}

// Text that is not UTF-8 (an ANSI client, or a cut sequence) is taken byte for byte rather than lost.
TEST_F(ClientText, TextThatIsNotUtf8IsTakenAsItIs) {
    for (const std::string& text : {std::string("J\xFCrgen"), std::string("ab\xC3"), std::string("\xFF\xFE"),
                                    std::string("a\xC0\x80"
                                                "b")})
        EXPECT_EQ(ClientToProgramText(text), text);
}

// The handset shows 12 bytes. In a double-byte code page (932, Japanese) a character whose lead byte is
// the 12th goes whole to the next display, and a UTF-8 code page keeps its sequences whole.
TEST(DisplayCut, NoCharacterIsCutInTwoAtTheDisplaysEdge) {
    const std::string eleven = "abcdefghijk";
    EXPECT_EQ(CutToWidth(eleven + "\x82\xA0"
                                  "z",
                         12, 932),
              eleven)
        << "the lead byte would stand alone";
    EXPECT_EQ(CutToWidth("a\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82\xA0"
                         "bc",
                         12, 932),
              "a\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82\xA0"
              "b");
    EXPECT_EQ(CutToWidth("\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82\xA0", 12, 932),
              "\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82\xA0\x82\xA0");
    // In 932 a trail byte may look like a lead byte; only a walk from the start tells them apart.
    EXPECT_EQ(CutToWidth("abcdefghij\x82\x82"
                         "z",
                         12, 932),
              "abcdefghij\x82\x82");
    EXPECT_EQ(CutToWidth(eleven + "\xC3\xBC", 12, CP_UTF8), eleven);
    EXPECT_EQ(CutToWidth(eleven + "\xE2\x82\xAC", 12, CP_UTF8), eleven);
    EXPECT_EQ(CutToWidth(eleven + "\xFC"
                                  "z",
                         12, 1252),
              eleven + "\xFC")
        << "one byte, one character";
    EXPECT_EQ(CutToWidth("short", 12, 932), "short");
    EXPECT_EQ(CutToWidth("", 12, 932), "");
}

} // namespace
