#pragma once
// The program's settings key, HKEY_CURRENT_USER\SOFTWARE\Skype\Dect, opened (created when missing) for
// reading and writing; false when it cannot be.
#include "support/Registry.h"

bool OpenSettings(RegistryKey& key);
