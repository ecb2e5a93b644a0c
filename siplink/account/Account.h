#pragma once
// The user's SIP account as the window takes it and the registry keeps it, and what SipLink's phone is
// given of it. Every text is UTF-8; the password goes to the phone as it is, never through a text format
// that reserves characters. Plain text work, no window, no registry.
#include <string>

#include "siplink/phone/Settings.h"

struct Account {
    std::string address; // user@domain[:port]
    std::string
        authUser; // the user name of the digest, when the provider hands out one apart; empty: the user part
    std::string password;
    std::string registrar; // host[:port] of the registrar or outbound proxy; empty: the address's domain
    std::string displayName;
    std::string transport = "udp"; // udp or tcp
    int registerSeconds = 300;     // the expiry asked of the registrar
    // Calls are taken from the registrar's or proxy's address only (SIP scanners ring every open port).
    bool providerOnly = true;
    // Sound devices by their Windows names; empty: the system's default device.
    std::string speaker;    // what the user hears
    std::string microphone; // what the user says

    // What keeps the account from being used, in plain words; empty when it can be used.
    std::string Problem() const;
};

// The registration interval the window and the registry take, in seconds.
constexpr int ShortestRegisterSeconds = 10;
constexpr int LongestRegisterSeconds = 86400;

// A stored device value as a Windows device name: the agent's "winwave,NAME" of earlier versions is NAME.
std::string DeviceName(const std::string& stored);

// What the phone is given: the account, and the country code of DectBridge's panel for the tones.
phone::Settings PhoneSettings(const Account& account, const std::string& countryCode);
