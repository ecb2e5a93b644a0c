#pragma once
// What the phone is told by SipLink: the user's account, the ports it may take and the sound devices.
#include <string>

namespace phone {

struct Settings {
    std::string user;              // the account's user part (UTF-8, as typed)
    std::string domain;            // the account's domain, host[:port]
    std::string authUser;          // for the digest; empty: the user part
    std::string password;          // UTF-8, any characters the provider hands out
    std::string displayName;       // UTF-8; empty: none
    std::string proxy;             // the registrar or outbound proxy, host[:port]; empty: the domain, by DNS
    std::string transport = "udp"; // "udp" or "tcp"
    // The expiry asked of the registrar, in seconds. Over TCP at most 900 (an idle connection is closed
    // then); over UDP the phone also keeps a home router's NAT binding open with a keepalive every 25 s.
    unsigned registerSeconds = 300;
    // Requests (INVITE, OPTIONS, ...) are taken only from the registrar's or proxy's addresses; others are
    // dropped unanswered (SIP scanners ring every open port).
    bool providerOnly = true;
    // Local ports: SIP (0: any free one) and the range the calls' RTP ports are taken from (each call takes
    // an even port and the one above it for RTCP).
    unsigned short sipPort = 0;
    unsigned short rtpPortMin = 10000;
    unsigned short rtpPortMax = 20000;
    // Sound devices by their Windows name; empty: the system's default.
    std::string speaker;    // what the user hears
    std::string microphone; // what the user says
    // The country code of the user's phone (as DectBridge's panel keeps it, e.g. "49"): chooses the
    // tones (ringback, busy) of that country; empty or unknown: ETSI's 425 Hz tones.
    std::string countryCode;

    // The parts that a registration depends on: a change of any of them registers anew.
    bool SameAccount(const Settings& other) const;
};

} // namespace phone
