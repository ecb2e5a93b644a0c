#include "support/Registry.h"

#include <mbstring.h>

#include <cstdio>
#include <cstring>

namespace {

// What LoadAll takes from the registry: longer names and larger data are skipped.
constexpr DWORD NameBufferSize = 260;
constexpr DWORD DataBufferSize = 2048;

// The registry compares key paths and value names without regard to case, and so does the cache.
bool SameName(const char* a, const char* b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b)) ==
           0;
}

// Copies length bytes of source into a buffer of capacity bytes and terminates it. Text that does not fit
// is cut before the first character that would not fit, so that a double-byte character is never split.
void CopyCut(char* target, size_t capacity, const char* source, size_t length) {
    size_t count = length;
    if (length >= capacity) {
        count = 0;
        for (;;) {
            size_t step = IsDBCSLeadByte(static_cast<BYTE>(source[count])) ? 2 : 1;
            if (count + step >= capacity)
                break;
            count += step;
        }
    }
    std::memcpy(target, source, count);
    target[count] = '\0';
}

} // namespace

RegistryValue::RegistryValue(RegistryKey* owner, const char* name) : name(name ? name : ""), owner(owner) {}

char* RegistryValue::TextBuffer() {
    if (!text)
        text.reset(new char[TextBufferSize]());
    return text.get();
}

// Writes through to the registry when the key allows it; failures leave only the cache changed.
void RegistryValue::Write(DWORD registryType, const void* data, DWORD size) {
    DWORD keyOptions = owner->options;
    if ((keyOptions & NoWriteBack) || name.empty())
        return;
    bool perAccess = (keyOptions & OpenPerAccess) != 0;
    if (perAccess ? owner->Reopen(KEY_SET_VALUE) : owner->IsOpen())
        RegSetValueExA(owner->handle, name.c_str(), 0, registryType, static_cast<const BYTE*>(data), size);
    if (perAccess)
        owner->Close();
}

void RegistryValue::SetText(const char* newText) {
    if (!newText)
        newText = "";
    size_t length = std::strlen(newText);
    type = REG_SZ;
    CopyCut(TextBuffer(), TextBufferSize, newText, length);
    Write(REG_SZ, newText, static_cast<DWORD>(length + 1));
    hasValue = true;
}

void RegistryValue::SetNumber(DWORD n) {
    type = REG_DWORD;
    number = n;
    Write(REG_DWORD, &number, sizeof number);
    hasValue = true;
}

void RegistryValue::SetBytes(const BYTE* data, DWORD size) {
    if (size == 0 || !data)
        return;
    type = REG_BINARY;
    bytes.assign(data, data + size);
    Write(REG_BINARY, data, size);
    hasValue = true;
}

void RegistryValue::SetStrings(const char* data, DWORD size) {
    if (!data)
        size = 0;
    type = REG_MULTI_SZ;
    strings.clear();
    if (size > 2) {
        // Without a final second zero byte the last string has no end of its own and is not kept.
        DWORD end = data[size - 1] == '\0' ? size - 1 : size;
        DWORD offset = 0;
        while (const void* zero = std::memchr(data + offset, 0, size - offset)) {
            DWORD at = static_cast<DWORD>(static_cast<const char*>(zero) - data);
            if (at >= end)
                break;
            strings.emplace_back(data + offset, at - offset);
            offset = at + 1;
        }
    }
    Write(REG_MULTI_SZ, data, size);
    hasValue = true;
}

const char* RegistryValue::Text() {
    DWORD keyOptions = owner->options;
    if ((keyOptions & RefreshOnRead) && !(keyOptions & NoWriteBack) && !name.empty() &&
        ((keyOptions & OpenPerAccess) ? owner->Reopen(KEY_QUERY_VALUE) : owner->IsOpen()))
        owner->LoadAll();
    char* buffer = TextBuffer();
    switch (type) {
    case REG_BINARY: {
        const char* data = reinterpret_cast<const char*>(bytes.data());
        const void* zero = std::memchr(data, 0, bytes.size());
        CopyCut(buffer, TextBufferSize, data, zero ? static_cast<const char*>(zero) - data : bytes.size());
        break;
    }
    case REG_DWORD:
        std::snprintf(buffer, TextBufferSize, "%lu", number);
        break;
    case REG_MULTI_SZ: {
        // Whole strings only, as many as fit with the closing zero byte.
        size_t used = 0;
        for (const std::string& one : strings) {
            if (used + one.size() + 2 > TextBufferSize)
                break;
            std::memcpy(buffer + used, one.c_str(), one.size() + 1);
            used += one.size() + 1;
        }
        buffer[used] = '\0';
        break;
    }
    default:
        break;
    }
    return buffer;
}

RegistryKey::~RegistryKey() {
    Close();
}

bool RegistryKey::Open(const char* newPath, HKEY newRoot, REGSAM access, bool reopen) {
    if (!newPath)
        return false;
    if (!reopen) {
        // Values made before the first open belong to this key and stay; only another path empties the
        // cache.
        if (!path) {
            path = newPath;
        } else if (!SameName(path->c_str(), newPath)) {
            values.clear();
            path = newPath;
        }
        root = newRoot;
    }
    Close();
    REGSAM mask = access;
    if ((options & OpenPerAccess) && !reopen)
        mask = KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY;
    else if (options & CreateKey)
        mask |= KEY_CREATE_SUB_KEY;
    HKEY opened = nullptr;
    LONG result = (options & CreateKey)
                      ? RegCreateKeyExA(newRoot, newPath, 0, nullptr, REG_OPTION_NON_VOLATILE, mask, nullptr,
                                        &opened, nullptr)
                      : RegOpenKeyExA(newRoot, newPath, 0, mask, &opened);
    if (result != ERROR_SUCCESS)
        return false;
    handle = opened;
    return reopen || LoadAll();
}

bool RegistryKey::Reopen(REGSAM access) {
    return path && Open(path->c_str(), root, access, true);
}

RegistryValue& RegistryKey::Value(const char* name) {
    if (!name)
        name = "";
    for (const std::unique_ptr<RegistryValue>& value : values)
        if (SameName(value->Name().c_str(), name))
            return *value;
    values.push_back(std::make_unique<RegistryValue>(this, name));
    return *values.back();
}

bool RegistryKey::LoadAll() {
    const DWORD saved = options;
    if ((saved & OpenPerAccess) && !Reopen(KEY_QUERY_VALUE))
        return false;
    DWORD count = 0;
    bool loaded = handle && RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             &count, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    if (loaded) {
        options = (saved & ~OpenPerAccess) | NoWriteBack;
        // One byte beyond the data's room terminates text that was stored without its zero byte.
        std::vector<BYTE> data(DataBufferSize + 1);
        values.reserve(values.size() + count);
        for (DWORD index = 0; index < count; ++index) {
            char name[NameBufferSize];
            DWORD nameLength = NameBufferSize;
            DWORD type = 0;
            DWORD size = DataBufferSize;
            if (RegEnumValueA(handle, index, name, &nameLength, nullptr, &type, data.data(), &size) !=
                ERROR_SUCCESS)
                continue;
            data[size] = 0;
            switch (type) {
            case REG_SZ:
                Value(name).SetText(reinterpret_cast<const char*>(data.data()));
                break;
            case REG_BINARY:
                Value(name).SetBytes(data.data(), size);
                break;
            case REG_DWORD: {
                // Short data reads as if padded with zero bytes.
                DWORD number = 0;
                std::memcpy(&number, data.data(), size < sizeof number ? size : sizeof number);
                Value(name).SetNumber(number);
                break;
            }
            case REG_MULTI_SZ:
                Value(name).SetStrings(reinterpret_cast<const char*>(data.data()), size);
                break;
            default:
                break;
            }
        }
        options = saved;
    }
    if (saved & OpenPerAccess)
        Close();
    return loaded;
}

void RegistryKey::Close() {
    if (handle)
        RegCloseKey(handle);
    handle = nullptr;
}

bool KeyExists(const char* path, HKEY root) {
    RegistryKey key;
    bool exists = key.Open(path, root, KEY_QUERY_VALUE, true);
    key.Close();
    return exists;
}
