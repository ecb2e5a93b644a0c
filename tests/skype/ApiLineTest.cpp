// One line of the API's text in words: each blank separating (as the program reads notifications, every word
// in its place) or runs of blanks as one (as commands are read), and the rest of the line after a word.
#include <gtest/gtest.h>

#include "skype/ApiLine.h"

namespace {

std::vector<std::string> Words(const ApiLine& line) {
    std::vector<std::string> words;
    for (size_t i = 0; i < line.Size(); ++i)
        words.push_back(line[i]);
    return words;
}

TEST(ApiLine, SplitsAtBlanksEitherWayAndKeepsTheRestOfTheLineWhole) {
    using Blanks = ApiLine::Blanks;
    const std::string text = " CALL  5 PARTNER_DISPNAME Far  End ";
    ApiLine each(text);
    EXPECT_EQ(Words(each),
              (std::vector<std::string>{"", "CALL", "", "5", "PARTNER_DISPNAME", "Far", "", "End", ""}));
    EXPECT_EQ(each.From(5), "Far  End ");
    ApiLine runs(text, Blanks::RunsSeparate);
    EXPECT_EQ(Words(runs), (std::vector<std::string>{"CALL", "5", "PARTNER_DISPNAME", "Far", "End"}));
    EXPECT_EQ(runs.From(3), "Far  End ");

    // Beyond the last word: empty words and an empty rest, never a read past the text.
    EXPECT_EQ(runs[9], "");
    EXPECT_EQ(runs.From(5), "");
    EXPECT_EQ(Words(ApiLine("")), std::vector<std::string>{""});
    EXPECT_EQ(ApiLine("", Blanks::RunsSeparate).Size(), 0u);
    EXPECT_EQ(ApiLine("   ", Blanks::RunsSeparate).Size(), 0u);
    EXPECT_EQ(ApiLine("CALL 5 PARTNER_DISPNAME ").From(3), "");
}

} // namespace
