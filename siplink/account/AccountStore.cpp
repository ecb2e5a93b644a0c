#include "siplink/account/AccountStore.h"

#include <windows.h>
#include <shlobj.h>
#include <wincrypt.h>

#include "siplink/WideText.h"

namespace {

constexpr const char* PanelKeyPath = "SOFTWARE\\Skype\\Dect";

// A registry key, open for one load or save.
class Key {
  public:
    Key(const char* path, bool write) {
        std::wstring wide = WideFromUtf8(path);
        LONG result = write ? RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, 0,
                                              KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr)
                            : RegOpenKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, KEY_QUERY_VALUE, &key);
        if (result != ERROR_SUCCESS)
            key = nullptr;
    }
    ~Key() {
        if (key)
            RegCloseKey(key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool Open() const { return key != nullptr; }

    // A value of the given type; false when missing or of another type.
    bool Read(const char* name, DWORD wantedType, std::string& bytes) const {
        std::wstring wideName = WideFromUtf8(name);
        DWORD type = 0, size = 0;
        if (!key ||
            RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != wantedType || size > 65536)
            return false;
        bytes.assign(size, '\0');
        if (RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]),
                             &size) != ERROR_SUCCESS)
            return false;
        bytes.resize(size);
        return true;
    }
    // A text value as UTF-8, up to its first terminator.
    void ReadText(const char* name, std::string& text) const {
        std::string bytes;
        if (!Read(name, REG_SZ, bytes))
            return;
        std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
        bytes.copy(reinterpret_cast<char*>(&wide[0]), wide.size() * sizeof(wchar_t));
        text = Utf8FromWide(wide.substr(0, wide.find(L'\0')));
    }
    void ReadNumber(const char* name, DWORD& number) const {
        std::string bytes;
        if (Read(name, REG_DWORD, bytes) && bytes.size() == sizeof(DWORD))
            bytes.copy(reinterpret_cast<char*>(&number), sizeof number);
    }
    bool Write(const char* name, DWORD type, const std::string& bytes) const {
        return RegSetValueExW(key, WideFromUtf8(name).c_str(), 0, type,
                              reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    }
    bool WriteText(const char* name, const std::string& text) const {
        std::wstring wide = WideFromUtf8(text) + L'\0';
        return Write(name, REG_SZ,
                     std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t)));
    }
    bool WriteNumber(const char* name, DWORD number) const {
        return Write(name, REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number));
    }

  private:
    HKEY key = nullptr;
};

bool Crypt(bool protect, const std::string& in, std::string& out) {
    DATA_BLOB input = {static_cast<DWORD>(in.size()), reinterpret_cast<BYTE*>(const_cast<char*>(in.data()))};
    DATA_BLOB output = {};
    BOOL done = protect ? CryptProtectData(&input, L"SipLink", nullptr, nullptr, nullptr,
                                           CRYPTPROTECT_UI_FORBIDDEN, &output)
                        : CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr,
                                             CRYPTPROTECT_UI_FORBIDDEN, &output);
    if (!done)
        return false;
    out.assign(reinterpret_cast<char*>(output.pbData), output.cbData);
    SecureZeroMemory(output.pbData, output.cbData);
    LocalFree(output.pbData);
    return true;
}

} // namespace

bool ProtectPassword(const std::string& password, std::string& sealed) {
    return Crypt(true, password, sealed);
}

bool UnprotectPassword(const std::string& sealed, std::string& password) {
    std::string bytes;
    if (!Crypt(false, sealed, bytes))
        return false;
    // Earlier versions sealed the window's ANSI text: taken as ANSI unless it is UTF-8 already.
    password = Utf8FromWide(WideFromUtf8(bytes));
    SecureZeroMemory(&bytes[0], bytes.size());
    return true;
}

void SaveStatus(const std::string& text) {
    Key key(AccountKeyPath, true);
    if (key.Open())
        key.WriteText("Status", text);
}

std::string LoadStatus() {
    std::string text;
    Key(AccountKeyPath, false).ReadText("Status", text);
    return text;
}

Account LoadAccount() {
    Account account;
    Key key(AccountKeyPath, false);
    if (!key.Open())
        return account;
    key.ReadText("Address", account.address);
    key.ReadText("AuthUser", account.authUser);
    key.ReadText("Registrar", account.registrar);
    key.ReadText("DisplayName", account.displayName);
    key.ReadText("Transport", account.transport);
    key.ReadText("SpeakDevice", account.speaker);
    key.ReadText("MicrophoneDevice", account.microphone);
    account.speaker = DeviceName(account.speaker);
    account.microphone = DeviceName(account.microphone);
    std::string sealed;
    if (key.Read("Password", REG_BINARY, sealed))
        UnprotectPassword(sealed, account.password);
    DWORD seconds = 0, providerOnly = 1;
    key.ReadNumber("RegisterSeconds", seconds);
    if (seconds >= ShortestRegisterSeconds && seconds <= LongestRegisterSeconds)
        account.registerSeconds = static_cast<int>(seconds);
    key.ReadNumber("ProviderOnly", providerOnly);
    account.providerOnly = providerOnly != 0;
    return account;
}

bool SaveAccount(const Account& account) {
    std::string sealed;
    Key key(AccountKeyPath, true);
    if (!key.Open() || !ProtectPassword(account.password, sealed))
        return false;
    return key.WriteText("Address", account.address) && key.WriteText("AuthUser", account.authUser) &&
           key.WriteText("Registrar", account.registrar) &&
           key.WriteText("DisplayName", account.displayName) &&
           key.WriteText("Transport", account.transport) && key.WriteText("SpeakDevice", account.speaker) &&
           key.WriteText("MicrophoneDevice", account.microphone) &&
           key.Write("Password", REG_BINARY, sealed) &&
           key.WriteNumber("RegisterSeconds", static_cast<DWORD>(account.registerSeconds)) &&
           key.WriteNumber("ProviderOnly", account.providerOnly ? 1 : 0);
}

std::string LoadCountryCode() {
    std::string stored, digits;
    Key(PanelKeyPath, false).ReadText("CountryCode", stored);
    for (char c : stored)
        if (c >= '0' && c <= '9')
            digits += c;
    // Typed with its international prefix ("0049"), it is the same country.
    return digits.rfind("00", 0) == 0 ? digits.substr(2) : digits;
}

std::wstring SipLinkFolder() {
    wchar_t appData[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)))
        return L"";
    std::wstring folder = std::wstring(appData) + L"\\DectBridge";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\SipLink";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}
