#include "siplink/LogText.h"

std::string LogText(const std::string& text) {
    std::string shown;
    size_t at = 0;
    for (; at < text.size() && shown.size() < LogTextKept; ++at) {
        char c = text[at];
        if (c == '\n')
            shown += "\\n";
        else if (c == '\r')
            shown += "\\r";
        else
            shown += c;
    }
    if (at < text.size())
        shown += "... (" + std::to_string(text.size()) + " bytes)";
    return shown;
}
