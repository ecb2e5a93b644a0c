#pragma once
// The words of SipLink's notification-area icon: the line's state in a few words, no longer than the
// shell shows.
#include <cstddef>
#include <string>

class Registration;

// The shell's tip holds 127 UTF-16 characters and the terminator.
constexpr size_t TrayTipUnits = 127;

// With SipLink's own agent: the registration of the account (user@domain).
std::string RegistrationTip(const Registration& registration, const std::string& address);
// With an agent the user runs himself (--control): the connection to its control port (HOST:PORT).
std::string ControlTip(bool connected, const std::string& agent);
// The text, UTF-8, cut to at most `units` UTF-16 characters, never inside a character's bytes; a cut
// text ends with "...". A byte that starts no valid character counts as one.
std::string CutToUnits(const std::string& text, size_t units);
