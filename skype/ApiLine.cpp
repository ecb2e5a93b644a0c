#include "skype/ApiLine.h"

ApiLine::ApiLine(const std::string& text, Blanks blanks) : text(text) {
    size_t start = 0;
    for (;;) {
        size_t blank = text.find(' ', start);
        size_t end = blank == std::string::npos ? text.size() : blank;
        if (blanks == Blanks::EachSeparates || end > start) {
            words.push_back(text.substr(start, end - start));
            starts.push_back(start);
        }
        if (blank == std::string::npos)
            return;
        start = blank + 1;
    }
}

const std::string& ApiLine::operator[](size_t index) const {
    static const std::string none;
    return index < words.size() ? words[index] : none;
}

std::string ApiLine::From(size_t index) const {
    return index < starts.size() ? text.substr(starts[index]) : std::string();
}
