#include "siplink/account/AccountStore.h"

#include <windows.h>
#include <wincrypt.h>

namespace {

// A registry key of SipLink's, open for one load or save.
class Key {
  public:
    explicit Key(bool write) {
        LONG result = write ? RegCreateKeyExA(HKEY_CURRENT_USER, AccountKeyPath, 0, nullptr, 0,
                                              KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr)
                            : RegOpenKeyExA(HKEY_CURRENT_USER, AccountKeyPath, 0, KEY_QUERY_VALUE, &key);
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
        DWORD type = 0, size = 0;
        if (!key || RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != wantedType || size > 65536)
            return false;
        bytes.assign(size, '\0');
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size) !=
            ERROR_SUCCESS)
            return false;
        bytes.resize(size);
        return true;
    }
    void ReadText(const char* name, std::string& text) const {
        std::string bytes;
        if (Read(name, REG_SZ, bytes))
            text = bytes.substr(0, bytes.find('\0'));
    }
    bool Write(const char* name, DWORD type, const std::string& bytes) const {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    }
    bool WriteText(const char* name, const std::string& text) const {
        return Write(name, REG_SZ, text + '\0');
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
    return Crypt(false, sealed, password);
}

void SaveStatus(const std::string& text) {
    Key key(true);
    if (key.Open())
        key.WriteText("Status", text);
}

std::string LoadStatus() {
    std::string text;
    Key(false).ReadText("Status", text);
    return text;
}

StoredSettings LoadSettings() {
    StoredSettings settings;
    Key key(false);
    if (!key.Open())
        return settings;
    Account& account = settings.account;
    key.ReadText("Address", account.address);
    key.ReadText("Registrar", account.registrar);
    key.ReadText("DisplayName", account.displayName);
    key.ReadText("Transport", account.transport);
    key.ReadText("SpeakDevice", account.speakDevice);
    key.ReadText("RingDevice", account.ringDevice);
    key.ReadText("ExtraConfig", account.extraConfig);
    key.ReadText("AgentPath", settings.agentPath);
    std::string sealed, seconds;
    if (key.Read("Password", REG_BINARY, sealed))
        UnprotectPassword(sealed, account.password);
    if (key.Read("RegisterSeconds", REG_DWORD, seconds) && seconds.size() == sizeof(DWORD)) {
        DWORD value = *reinterpret_cast<const DWORD*>(seconds.data());
        if (value >= 10 && value <= 86400)
            account.registerSeconds = static_cast<int>(value);
    }
    return settings;
}

bool SaveSettings(const StoredSettings& settings) {
    const Account& account = settings.account;
    std::string sealed;
    Key key(true);
    if (!key.Open() || !ProtectPassword(account.password, sealed))
        return false;
    DWORD seconds = static_cast<DWORD>(account.registerSeconds);
    return key.WriteText("Address", account.address) && key.WriteText("Registrar", account.registrar) &&
           key.WriteText("DisplayName", account.displayName) &&
           key.WriteText("Transport", account.transport) &&
           key.WriteText("SpeakDevice", account.speakDevice) &&
           key.WriteText("RingDevice", account.ringDevice) &&
           key.WriteText("ExtraConfig", account.extraConfig) &&
           key.WriteText("AgentPath", settings.agentPath) && key.Write("Password", REG_BINARY, sealed) &&
           key.Write("RegisterSeconds", REG_DWORD,
                     std::string(reinterpret_cast<const char*>(&seconds), sizeof seconds));
}
