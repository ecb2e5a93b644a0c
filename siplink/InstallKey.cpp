#include "siplink/InstallKey.h"

#include <windows.h>

#include <string>

namespace {

constexpr const char* ParentPath = "SOFTWARE\\Skype";
constexpr const char* KeyPath = "SOFTWARE\\Skype\\Phone";
// Value in the key naming the highest key SipLink created: "Phone", or "Skype" when it made the parent.
constexpr const char* MarkName = "SipLink";

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Closes the open key and deletes it when it holds no value and no subkey; answers false only when an
// empty key could not be deleted.
bool DeleteIfEmpty(HKEY key, const char* path) {
    DWORD subKeys = 1, values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return subKeys != 0 || values != 0 || RegDeleteKeyA(HKEY_CURRENT_USER, path) == ERROR_SUCCESS;
}

} // namespace

void EnsureSkypeKey() {
    if (KeyExists(KeyPath))
        return;
    std::string mark = KeyExists(ParentPath) ? "Phone" : "Skype";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, MarkName, 0, REG_SZ, reinterpret_cast<const BYTE*>(mark.c_str()),
                   static_cast<DWORD>(mark.size() + 1));
    RegCloseKey(key);
}

bool RemoveSkypeKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return true;
    char mark[16] = "";
    DWORD size = sizeof mark - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, MarkName, nullptr, &type, reinterpret_cast<BYTE*>(mark), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        RegCloseKey(key);
        return true; // not ours
    }
    RegDeleteValueA(key, MarkName);
    // A key that holds something else now stays.
    if (!DeleteIfEmpty(key, KeyPath))
        return false;
    // The parent goes only when SipLink made it and nothing else (the program's own settings) is in it.
    if (std::string(mark) == "Skype" &&
        RegOpenKeyExA(HKEY_CURRENT_USER, ParentPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS)
        DeleteIfEmpty(key, ParentPath);
    return true;
}
