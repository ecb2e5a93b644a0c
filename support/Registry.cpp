#include "support/Registry.h"

#include <mbstring.h>

#include <cstdio>
#include <cstring>

namespace {

// The registry compares key paths and value names without regard to case, and so does the cache.
bool SameName(const char* a, const char* b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b)) ==
           0;
}

bool IsLeadByte(uint8_t byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

} // namespace

RegistryValue::RegistryValue(RegistryKey* owner, const char* name) : name(name ? name : ""), owner(owner) {}

char* RegistryValue::TextBuffer() {
    if (!text)
        text.reset(new char[RegistryTextBufferSize]());
    return text.get();
}

// Writes through to the registry when the key allows it; failures leave only the cache changed.
void RegistryValue::Write(DWORD registryType, const void* bytes, DWORD size) {
    DWORD keyOptions = owner->options;
    if ((keyOptions & NoWriteBack) || name.empty())
        return;
    bool perAccess = (keyOptions & OpenPerAccess) != 0;
    if (perAccess ? owner->Reopen(KEY_SET_VALUE) : owner->IsOpen())
        RegSetValueExA(owner->handle, name.c_str(), 0, registryType, static_cast<const BYTE*>(bytes), size);
    if (perAccess)
        owner->Close();
}

void RegistryValue::SetText(const char* newText) {
    if (!newText)
        newText = "";
    size_t length = std::strlen(newText);
    data.type = REG_SZ;
    CopyCut(TextBuffer(), RegistryTextBufferSize, newText, length, IsLeadByte);
    Write(REG_SZ, newText, static_cast<DWORD>(length + 1));
    hasValue = true;
}

void RegistryValue::SetNumber(DWORD n) {
    data.type = REG_DWORD;
    data.number = n;
    Write(REG_DWORD, &data.number, sizeof data.number);
    hasValue = true;
}

void RegistryValue::SetBytes(const BYTE* newBytes, DWORD size) {
    if (size == 0 || !newBytes)
        return;
    data.type = REG_BINARY;
    data.bytes.assign(newBytes, newBytes + size);
    Write(REG_BINARY, newBytes, size);
    hasValue = true;
}

void RegistryValue::SetStrings(const char* multiString, DWORD size) {
    if (!multiString)
        size = 0;
    data.type = REG_MULTI_SZ;
    data.strings = SplitMultiString(multiString, size);
    Write(REG_MULTI_SZ, multiString, size);
    hasValue = true;
}

const char* RegistryValue::Text() {
    DWORD keyOptions = owner->options;
    if ((keyOptions & RefreshOnRead) && !(keyOptions & NoWriteBack) && !name.empty() &&
        ((keyOptions & OpenPerAccess) ? owner->Reopen(KEY_QUERY_VALUE) : owner->IsOpen()))
        owner->LoadAll();
    char* buffer = TextBuffer();
    FormatRegistryText(data, buffer, IsLeadByte);
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
        std::vector<BYTE> data(RegistryDataBufferSize + 1);
        values.reserve(values.size() + count);
        for (DWORD index = 0; index < count; ++index) {
            char name[RegistryNameBufferSize];
            DWORD nameLength = RegistryNameBufferSize;
            DWORD type = 0;
            DWORD size = RegistryDataBufferSize;
            if (RegEnumValueA(handle, index, name, &nameLength, nullptr, &type, data.data(), &size) !=
                    ERROR_SUCCESS ||
                !FitsLoadBuffers(nameLength, size))
                continue;
            data[size] = 0;
            switch (type) {
            case REG_SZ:
                Value(name).SetText(reinterpret_cast<const char*>(data.data()));
                break;
            case REG_BINARY:
                Value(name).SetBytes(data.data(), size);
                break;
            case REG_DWORD:
                Value(name).SetNumber(NumberFromData(data.data(), size));
                break;
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
