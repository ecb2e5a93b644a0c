#pragma once
// The account as stored for the user under HKEY_CURRENT_USER\SOFTWARE\DectBridge\SipLink: plain values,
// the password encrypted for the user (CryptProtectData), and where the agent program is.
#include <string>

#include "siplink/account/Account.h"

constexpr const char* AccountKeyPath = "SOFTWARE\\DectBridge\\SipLink";

struct StoredSettings {
    Account account;
    std::string agentPath; // the agent program; empty: looked for beside SipLink.exe
};

// What is stored; missing values are left as the defaults of Account.
StoredSettings LoadSettings();
// False when the key could not be written or the password not encrypted.
bool SaveSettings(const StoredSettings& settings);

// The running SipLink's registration state in plain words, for the account window; "" when none.
void SaveStatus(const std::string& text);
std::string LoadStatus();

// The password encrypted for the user, and back; decryption answers false for data not ours.
bool ProtectPassword(const std::string& password, std::string& sealed);
bool UnprotectPassword(const std::string& sealed, std::string& password);
