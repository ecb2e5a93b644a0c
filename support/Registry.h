#pragma once
// A small cache over one registry key: opening the key reads all its values, values are found by name
// without regard to case, and each setter updates the cache and writes the registry at once.
// Key objects are made on the stack for one use and destroyed at once.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/RegistryData.h"

enum RegistryOptions : DWORD {
    CreateKey = 1,     // Open creates the key when it is missing
    OpenPerAccess = 2, // the key is held closed between accesses; each read or write reopens it
    RefreshOnRead = 4, // each Text() first reloads every value from the registry
    NoWriteBack = 8,   // setters change only the cache (LoadAll sets it while it fills the cache)
};

class RegistryKey;

class RegistryValue {
  public:
    RegistryValue(RegistryKey* owner, const char* name);
    virtual ~RegistryValue() = default;
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

    void SetText(const char* text);
    void SetNumber(DWORD n);
    // A size of 0 leaves the value as it is.
    void SetBytes(const BYTE* data, DWORD size);
    // Multi-string data in registry layout: each string followed by a zero byte, then one more zero byte.
    void SetStrings(const char* data, DWORD size);

    // The value's text form: REG_SZ as stored, REG_BINARY up to its first zero byte, REG_DWORD in decimal,
    // REG_MULTI_SZ in registry layout (read as plain text it is the first string).
    const char* Text();
    DWORD Number() const { return data.number; }
    DWORD Type() const { return data.type; }
    bool HasValue() const { return hasValue; }
    const std::string& Name() const { return name; }
    const std::vector<BYTE>& Bytes() const { return data.bytes; }
    const std::vector<std::string>& Strings() const { return data.strings; }

  private:
    char* TextBuffer();
    void Write(DWORD registryType, const void* bytes, DWORD size);

    std::string name;
    RegistryKey* owner;
    bool hasValue = false;
    RegistryData data;
    std::unique_ptr<char[]> text;
};

class RegistryKey {
  public:
    explicit RegistryKey(DWORD options = 0) : options(options) {}
    virtual ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // A fresh open (reopen false) remembers path and root, empties the cache when the path is another
    // one, and loads every value. A reopen only opens the handle again.
    bool Open(const char* path, HKEY root, REGSAM access, bool reopen = false);
    // The value of that name, created empty when the cache has none; never touches the registry.
    RegistryValue& Value(const char* name);
    bool LoadAll();
    void Close();

    bool IsOpen() const { return handle != nullptr; }
    DWORD Options() const { return options; }

  private:
    friend class RegistryValue;
    // Opens the remembered key again for one access (OpenPerAccess).
    bool Reopen(REGSAM access);

    HKEY handle = nullptr;
    DWORD options;
    HKEY root = nullptr;
    std::optional<std::string> path;
    std::vector<std::unique_ptr<RegistryValue>> values;
};

// Whether the key can be opened for reading; creates nothing.
bool KeyExists(const char* path, HKEY root);
