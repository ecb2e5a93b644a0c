#pragma once
// The account as stored for the user under HKEY_CURRENT_USER\SOFTWARE\DectBridge\SipLink: plain values
// (UTF-16 in the registry, UTF-8 here), the password encrypted for the user (CryptProtectData). Values
// stored by earlier versions are read as they are: ANSI text, "winwave,NAME" devices.
#include <string>

#include "siplink/account/Account.h"

constexpr const char* AccountKeyPath = "SOFTWARE\\DectBridge\\SipLink";

// What is stored; missing or foreign values are left as the defaults of Account.
Account LoadAccount();
// False when the key could not be written or the password not encrypted.
bool SaveAccount(const Account& account);

// The running SipLink's registration state in plain words, for the account window; "" when none.
void SaveStatus(const std::string& text);
std::string LoadStatus();

// The password encrypted for the user, and back; decryption answers false for data not ours.
bool ProtectPassword(const std::string& password, std::string& sealed);
bool UnprotectPassword(const std::string& sealed, std::string& password);

// The country code of DectBridge's panel (its digits, e.g. "49"); "" when none is set.
std::string LoadCountryCode();

// SipLink's folder in the user's profile, %APPDATA%\DectBridge\SipLink (made when missing): the user's
// `contacts` file lies there. Empty when there is none.
std::wstring SipLinkFolder();
