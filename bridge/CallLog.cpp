#include "bridge/CallLog.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr char FieldSeparator = '\t';

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool IsKind(char c) {
    return c == static_cast<char>(CallKind::Missed) || c == static_cast<char>(CallKind::Answered) ||
           c == static_cast<char>(CallKind::Dialled);
}

// Control characters go (the separator is one of them) and the text is cut to the limit, moved back over
// UTF-8 continuation bytes so that no character is split.
std::string Clean(const std::string& text, size_t limit) {
    std::string clean;
    for (char c : text) {
        if (!IsControl(static_cast<unsigned char>(c)))
            clean += c;
    }
    if (clean.size() <= limit)
        return clean;
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80)
        --cut;
    return clean.substr(0, cut);
}

bool IsClean(const std::string& text, size_t limit) {
    return text.size() <= limit && Clean(text, limit) == text;
}

} // namespace

void CallLog::Add(CallKind kind, const std::string& target, const std::string& name, bool unseen) {
    entries.push_front({kind, Clean(target, MaxCallTargetLength), Clean(name, MaxCallNameLength)});
    if (kind == CallKind::Missed && unseen)
        ++unseenMissed;
    if (entries.size() > CallLogCapacity) {
        entries.pop_back();
        // The count is of calls the user can still look at.
        unseenMissed = std::min(unseenMissed, MissedEntries());
    }
}

unsigned CallLog::MissedEntries() const {
    unsigned missed = 0;
    for (const CallEntry& entry : entries)
        missed += entry.kind == CallKind::Missed;
    return missed;
}

const CallEntry* CallLog::LastDialled() const {
    for (const CallEntry& entry : entries) {
        if (entry.kind == CallKind::Dialled)
            return &entry;
    }
    return nullptr;
}

const CallEntry* CallLog::BrowseFirst() {
    unseenMissed = 0;
    browsed = 0;
    return entries.empty() ? nullptr : &entries[0];
}

const CallEntry* CallLog::BrowseNext() {
    if (entries.empty())
        return nullptr;
    browsed = (browsed + 1) % entries.size();
    return &entries[browsed];
}

std::vector<std::string> CallLog::Lines() const {
    std::vector<std::string> lines;
    for (const CallEntry& entry : entries)
        lines.push_back(CallEntryLine(entry));
    return lines;
}

bool CallLog::Restore(const std::vector<std::string>& lines, unsigned unseen) {
    entries.clear();
    unseenMissed = 0;
    browsed = 0;
    if (lines.size() > CallLogCapacity)
        return false;
    std::deque<CallEntry> restored;
    for (const std::string& line : lines) {
        std::optional<CallEntry> entry = ParseCallEntryLine(line);
        if (!entry)
            return false;
        restored.push_back(*entry);
    }
    entries = std::move(restored);
    // More unseen missed calls than the list holds cannot be; the list is what the user can look at.
    if (unseen > MissedEntries()) {
        entries.clear();
        return false;
    }
    unseenMissed = unseen;
    return true;
}

std::string CallEntryText(const CallEntry& entry) {
    const char mark = entry.kind == CallKind::Missed ? '!' : entry.kind == CallKind::Answered ? '*' : '>';
    if (!entry.name.empty())
        return mark + entry.name;
    return mark + (entry.target.empty() ? std::string(WithheldText) : entry.target);
}

std::string CallEntryLine(const CallEntry& entry) {
    return static_cast<char>(entry.kind) + std::string(1, FieldSeparator) + entry.target + FieldSeparator +
           entry.name;
}

std::optional<CallEntry> ParseCallEntryLine(const std::string& line) {
    if (line.size() < 3 || !IsKind(line[0]) || line[1] != FieldSeparator)
        return std::nullopt;
    size_t second = line.find(FieldSeparator, 2);
    if (second == std::string::npos)
        return std::nullopt;
    CallEntry entry;
    entry.kind = static_cast<CallKind>(line[0]);
    entry.target = line.substr(2, second - 2);
    entry.name = line.substr(second + 1);
    if (!IsClean(entry.target, MaxCallTargetLength) || !IsClean(entry.name, MaxCallNameLength))
        return std::nullopt;
    return entry;
}

std::string CallTimeText(unsigned long long ms) {
    unsigned long long seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "Call %02llu:%02llu", seconds / 60, seconds % 60);
    return text;
}
