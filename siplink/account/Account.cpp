#include "siplink/account/Account.h"

namespace {

// What would break the address or the registrar as a SIP URI's parts.
constexpr const char* UriStops = ";\"\\<> \t\r\n";

bool HasControlCharacter(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

} // namespace

std::string Account::Problem() const {
    size_t at = address.find('@');
    if (address.empty())
        return "No SIP address is set.";
    if (at == 0 || at == std::string::npos || at + 1 == address.size() ||
        address.find_first_of(UriStops) != std::string::npos || address.find("sip:") == 0)
        return "The SIP address must read user@domain (for example 4930123456@sip.example.net).";
    if (registrar.find_first_of(UriStops) != std::string::npos)
        return "The registrar must read host or host:port.";
    // Both go between quotes in SIP headers.
    if (displayName.find_first_of("\"\\") != std::string::npos || HasControlCharacter(displayName))
        return "The display name cannot hold \" or \\.";
    if (authUser.find_first_of("\"\\") != std::string::npos || HasControlCharacter(authUser))
        return "The authentication user cannot hold \" or \\.";
    if (transport == "tls")
        return "TLS is not available in this SipLink yet: choose UDP or TCP.";
    if (transport != "udp" && transport != "tcp")
        return "The transport must be UDP or TCP.";
    if (registerSeconds < ShortestRegisterSeconds || registerSeconds > LongestRegisterSeconds)
        return "The registration interval must be " + std::to_string(ShortestRegisterSeconds) + " to " +
               std::to_string(LongestRegisterSeconds) + " seconds.";
    return "";
}

std::string DeviceName(const std::string& stored) {
    const std::string agentModule = "winwave,";
    return stored.rfind(agentModule, 0) == 0 ? stored.substr(agentModule.size()) : stored;
}

phone::Settings PhoneSettings(const Account& account, const std::string& countryCode) {
    phone::Settings settings;
    size_t at = account.address.find('@');
    settings.user = account.address.substr(0, at);
    settings.domain = at == std::string::npos ? "" : account.address.substr(at + 1);
    settings.authUser = account.authUser;
    settings.password = account.password;
    settings.displayName = account.displayName;
    settings.proxy = account.registrar;
    settings.transport = account.transport;
    settings.registerSeconds = static_cast<unsigned>(account.registerSeconds);
    settings.providerOnly = account.providerOnly;
    settings.speaker = account.speaker;
    settings.microphone = account.microphone;
    settings.countryCode = countryCode;
    return settings;
}
