// Presence read from PIDF: the basic status, and busy from RPID activities or the note.
#include "siplink/phone/Pidf.h"

#include <algorithm>
#include <cctype>

namespace phone {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The text of the first element named `name` (any namespace prefix), or "".
std::string ElementText(const std::string& xml, const std::string& name) {
    for (size_t at = xml.find(name + ">"); at != std::string::npos; at = xml.find(name + ">", at + 1)) {
        // An opening tag: "<name>" or "<prefix:name>".
        size_t open = xml.rfind('<', at);
        if (open == std::string::npos || xml[open + 1] == '/')
            continue;
        const std::string tag = xml.substr(open + 1, at - open - 1);
        if (!tag.empty() && tag.back() != ':')
            continue;
        size_t start = at + name.size() + 1;
        size_t end = xml.find('<', start);
        return end == std::string::npos ? "" : xml.substr(start, end - start);
    }
    return "";
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    size_t last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

} // namespace

Event::PresenceState PresenceOf(const std::string& pidf) {
    const std::string xml = Lower(pidf);
    const std::string basic = Trimmed(ElementText(xml, "basic"));
    if (basic == "closed")
        return Event::PresenceState::Offline;
    if (basic != "open")
        return Event::PresenceState::Unknown;
    const std::string note = ElementText(xml, "note");
    for (const char* busy : {":busy", ":on-the-phone", ":do-not-disturb"})
        if (xml.find(busy) != std::string::npos)
            return Event::PresenceState::Busy;
    for (const char* busy : {"busy", "dnd", "do not disturb", "on the phone"})
        if (note.find(busy) != std::string::npos)
            return Event::PresenceState::Busy;
    return Event::PresenceState::Online;
}

} // namespace phone
