#include "siplink/PresenceTold.h"

#include <algorithm>

namespace {

std::string PresenceIn(const ContactBook& book, const std::string& handle) {
    const Contact* contact = book.ByHandle(handle);
    return contact ? contact->presence : "UNKNOWN";
}

} // namespace

void PresenceTold::Told(const std::string& handle, const std::string& status, const ContactBook& book) {
    ++asked;
    auto [entry, added] = names.try_emplace(HandleKey(handle));
    if (added)
        entry->second.first = asked;
    entry->second.handle = handle;
    entry->second.status = status;
    entry->second.last = asked;
    // Pruned in batches, so that each name asked about costs a constant share of a pass.
    if (names.size() > book.All().size() + 2 * strangersKept)
        ForgetOldStrangers(book);
}

std::vector<std::pair<std::string, std::string>> PresenceTold::Changes(const ContactBook& book) {
    ForgetOldStrangers(book);
    std::vector<std::pair<const Entry*, std::string>> changed;
    for (const auto& [key, entry] : names) {
        std::string now = PresenceIn(book, key);
        if (now != entry.status)
            changed.emplace_back(&entry, now);
    }
    std::sort(changed.begin(), changed.end(),
              [](const auto& a, const auto& b) { return a.first->first < b.first->first; });
    std::vector<std::pair<std::string, std::string>> changes;
    for (const auto& [entry, now] : changed)
        changes.emplace_back(entry->handle, now);
    return changes;
}

void PresenceTold::ForgetOldStrangers(const ContactBook& book) {
    std::vector<std::pair<unsigned long long, std::string>> strangers;
    for (const auto& [key, entry] : names)
        if (!book.ByHandle(key))
            strangers.emplace_back(entry.last, key);
    if (strangers.size() <= strangersKept)
        return;
    size_t excess = strangers.size() - strangersKept;
    std::nth_element(strangers.begin(), strangers.begin() + excess, strangers.end());
    for (size_t i = 0; i < excess; ++i)
        names.erase(strangers[i].second);
}
