#include "siplink/account/Account.h"

#include <algorithm>

namespace {

constexpr const char* PasswordKey = "auth_pass=";
// What would end a value in the account line; a password cannot hold these.
constexpr const char* LineStops = ";\"\\<> \t\r\n";

bool ValidTransport(const std::string& transport) {
    return transport == "udp" || transport == "tcp" || transport == "tls";
}

std::string ModuleOf(const std::string& device) {
    return device.substr(0, device.find(','));
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

std::string Account::Problem() const {
    size_t at = address.find('@');
    if (address.empty())
        return "No SIP address is set.";
    if (at == 0 || at == std::string::npos || at + 1 == address.size() ||
        address.find_first_of(LineStops) != std::string::npos || address.find("sip:") == 0)
        return "The SIP address must read user@domain (for example 4930123456@sip.example.net).";
    if (password.find_first_of(LineStops) != std::string::npos)
        return "The password holds a character the user agent cannot take (; \" \\ < > or a blank).";
    if (registrar.find_first_of(LineStops) != std::string::npos)
        return "The registrar must read host or host:port.";
    if (displayName.find_first_of("\"\\\r\n") != std::string::npos)
        return "The display name cannot hold \" or \\.";
    if (!ValidTransport(transport))
        return "The transport must be UDP, TCP or TLS.";
    return "";
}

std::string Account::Aor() const {
    return "sip:" + address;
}

std::string AccountLine(const Account& account) {
    std::string transport = ";transport=" + account.transport;
    std::string line;
    if (!account.displayName.empty())
        line += Quoted(account.displayName) + " ";
    line += "<" + account.Aor() + transport + ">";
    line += ";auth_pass=" + account.password;
    if (!account.registrar.empty())
        line += ";outbound=" + Quoted("sip:" + account.registrar + transport);
    // Answering is the handset's; presence and message waiting are not asked of the provider.
    line += ";regint=" + std::to_string(account.registerSeconds) +
            ";pubint=0;mwi=no;answermode=manual;audio_codecs=PCMU,PCMA";
    return line;
}

std::string HidePassword(const std::string& text) {
    std::string hidden = text;
    size_t at = 0;
    while ((at = hidden.find(PasswordKey, at)) != std::string::npos) {
        at += std::char_traits<char>::length(PasswordKey);
        size_t end = std::min(hidden.find_first_of(LineStops, at), hidden.size());
        hidden.replace(at, end - at, "***");
    }
    return hidden;
}

std::string AgentConfigText(const Account& account, const AgentSetup& setup) {
    std::string speak = account.speakDevice.empty() ? setup.defaultDevice : account.speakDevice;
    std::string ring = account.ringDevice.empty() ? speak : account.ringDevice;
    std::string text = "# Written by SipLink.exe at each start; edit the account in SipLink's window.\n";
    if (!account.extraConfig.empty())
        text += account.extraConfig + (account.extraConfig.back() == '\n' ? "" : "\n");
    text += "sip_listen 0.0.0.0:" + std::to_string(setup.sipPort) + "\n";
    text += "audio_player " + speak + "\n";
    text += "audio_source " + speak + "\n";
    text += "audio_alert " + ring + "\n";
    text += "call_max_calls 4\n";
    text += "module_path " + setup.modulePath + "\n";
    std::vector<std::string> modules = {"g711"};
    for (const std::string& device : {speak, ring})
        if (std::find(modules.begin(), modules.end(), ModuleOf(device)) == modules.end())
            modules.push_back(ModuleOf(device));
    for (const std::string& module : modules)
        text += "module " + module + setup.moduleSuffix + "\n";
    for (const char* module : {"uuid", "account"})
        text += "module_tmp " + std::string(module) + setup.moduleSuffix + "\n";
    for (const char* module : {"contact", "menu", "presence", "ctrl_tcp"})
        text += "module_app " + std::string(module) + setup.moduleSuffix + "\n";
    text += "ctrl_tcp_listen 127.0.0.1:" + std::to_string(setup.controlPort) + "\n";
    return text;
}
