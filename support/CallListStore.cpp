#include "support/CallListStore.h"

namespace {

std::string EntryName(size_t index) {
    return "Call" + std::to_string(index + 1);
}

} // namespace

std::optional<StoredCalls> LoadCallList(RegistryKey& settings, size_t maxEntries) {
    StoredCalls calls;
    RegistryValue& count = settings.Value("Calls");
    if (!count.HasValue())
        return calls;
    if (count.Type() != REG_DWORD || count.Number() > maxEntries)
        return std::nullopt;
    for (size_t i = 0; i < count.Number(); ++i) {
        RegistryValue& entry = settings.Value(EntryName(i).c_str());
        if (!entry.HasValue() || entry.Type() != REG_SZ)
            return std::nullopt;
        calls.lines.push_back(entry.Text());
    }
    RegistryValue& missed = settings.Value("MissedCalls");
    if (missed.HasValue() && missed.Type() != REG_DWORD)
        return std::nullopt;
    calls.unseenMissed = missed.HasValue() ? missed.Number() : 0;
    return calls;
}

// The entries go before their count, so that a run stopped half-way leaves a count that finds every entry
// it names.
void SaveCallList(RegistryKey& settings, const StoredCalls& calls) {
    for (size_t i = 0; i < calls.lines.size(); ++i)
        settings.Value(EntryName(i).c_str()).SetText(calls.lines[i].c_str());
    settings.Value("MissedCalls").SetNumber(calls.unseenMissed);
    settings.Value("Calls").SetNumber(static_cast<DWORD>(calls.lines.size()));
}
