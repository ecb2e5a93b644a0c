#pragma once
// SIP addresses as SipLink reads them from the phone's events and the contacts file: plain text work.
#include <string>

// The parts of "sip:bob@host:5080;transport=udp", "<sips:bob@host>" or "bob@host": the user part ("bob",
// its own parameters dropped, escapes kept) and the host with its port as written ("host:5080"); the
// scheme (sip, sips, tel), angle brackets, parameters and headers dropped. No '@': no user part.
struct SipAddress {
    std::string user;
    std::string host;
};
SipAddress ReadSipAddress(const std::string& uri);

// The same place in SIP terms: the host's case ignored, no port meaning 5060; the user part's case kept.
bool SameAddress(const std::string& a, const std::string& b);
// The place an address names as one text, so that equal places give equal keys.
std::string AddressKey(const std::string& uri);
