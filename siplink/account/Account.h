#pragma once
// The user's SIP account and what the user agent is given of it: the account line it registers with and
// the configuration file SipLink writes for the agent it runs. Plain text work, no window, no registry.
#include <string>
#include <vector>

struct Account {
    std::string address; // user@domain[:port]
    std::string password;
    std::string registrar; // host[:port] of the registrar or outbound proxy; empty: the address's domain
    std::string displayName;
    std::string transport = "udp"; // udp, tcp or tls
    // "module,device" of the agent's sound; empty: the system's default device.
    std::string speakDevice;   // the call's sound: what the user hears and says
    std::string ringDevice;    // the ringing
    int registerSeconds = 300; // the expiry asked of the registrar
    // Lines put at the head of the agent's configuration, for the expert: the agent takes the first line
    // of a name, so these win over SipLink's own.
    std::string extraConfig;

    // What keeps the account from being used, in plain words; empty when it can be used.
    std::string Problem() const;
    // "sip:user@domain[:port]", the account's address of record.
    std::string Aor() const;
};

// The agent's account line, password included: never write it to a log (see HidePassword).
std::string AccountLine(const Account& account);

// The text with every password of an account line in it replaced by stars.
std::string HidePassword(const std::string& text);

// Where and how the agent runs, as SipLink decided.
struct AgentSetup {
    int controlPort = 0;    // loopback only
    int sipPort = 0;        // where the agent listens for SIP
    std::string modulePath; // the agent's modules
    std::string moduleSuffix = ".so";
    std::string defaultDevice; // "module,device" of the system's default sound
};

// The agent's configuration file: control port on loopback, SIP port, sound devices and the modules these
// need. The account itself is given to the agent over the control connection.
std::string AgentConfigText(const Account& account, const AgentSetup& setup);
