#pragma once
// One line of the Skype API's text (a command or a notification), split into words at blanks, with the rest
// of the line after a word kept whole for a value that may hold blanks (a display name). Plain C++.
#include <cstddef>
#include <string>
#include <vector>

class ApiLine {
  public:
    // How blanks separate: each blank on its own, so that two in a row or one at either end give an empty
    // word and every word keeps its place (how the program reads notifications); or runs of blanks as one,
    // with no empty words (how commands are read).
    enum class Blanks { EachSeparates, RunsSeparate };

    explicit ApiLine(const std::string& text, Blanks blanks = Blanks::EachSeparates);

    size_t Size() const { return words.size(); }
    // Words count from 0; a word beyond the last is empty.
    const std::string& operator[](size_t index) const;
    // The text from word `index` on, blanks inside kept; empty beyond the last word.
    std::string From(size_t index) const;

  private:
    std::string text;
    std::vector<std::string> words;
    std::vector<size_t> starts; // where each word begins in text
};
