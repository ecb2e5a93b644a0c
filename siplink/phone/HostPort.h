#pragma once
// "host", "host:port", "[v6]:port" as the user types a domain, registrar or proxy. Plain C++.
#include <string>

namespace phone {

struct HostPort {
    std::string host;        // without brackets
    unsigned short port = 0; // 0: not given (DNS SRV, or 5060)
    bool valid = false;      // a host, and a port if any in 1..65535
};

HostPort SplitHostPort(const std::string& text);

// Whether the host is an IPv4 address written out ("192.0.2.7"): no DNS for it.
bool IsNumericIPv4(const std::string& host);

} // namespace phone
