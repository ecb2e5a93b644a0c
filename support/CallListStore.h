#pragma once
// The handset's calls list in the settings key: "Calls" (a DWORD, how many), "Call1" ... (one REG_SZ each,
// newest first, as the list writes its lines) and "MissedCalls" (a DWORD, those not looked at). One value
// per entry keeps each far below what loading takes (2,048 bytes).
#include <optional>
#include <string>
#include <vector>

#include "support/Registry.h"

struct StoredCalls {
    std::vector<std::string> lines;
    unsigned unseenMissed = 0;
};

// Nothing stored reads as an empty list; nullopt when what is stored is damaged: a count that is not a
// DWORD or above maxEntries, an entry missing or not text, a missed count that is not a DWORD.
std::optional<StoredCalls> LoadCallList(RegistryKey& settings, size_t maxEntries);
void SaveCallList(RegistryKey& settings, const StoredCalls& calls);
