#pragma once
// The SIP addresses the phone writes: the account's and a dialled target's. Plain C++.
#include <string>

namespace phone {

// A user part as typed, with every character SIP does not allow there %-escaped ("Jürgen Smith" becomes
// "J%C3%BCrgen%20Smith").
std::string EscapeUser(const std::string& typed);

// "sip:USER@DOMAIN" of the account.
std::string AccountUri(const std::string& user, const std::string& domain);

// Where a dialled target goes: a "sip:" or "sips:" URI as it is, "user@host" with "sip:", anything else (a
// number, a user part) at the account's domain. Empty when the target is empty.
std::string TargetUri(const std::string& target, const std::string& domain);

} // namespace phone
