#pragma once
// The words of SipLink's notification-area icon: the line's state in a few words, no longer than the
// shell shows.
#include <cstddef>
#include <string>

class Registration;

// The shell's tip holds 127 UTF-16 characters and the terminator.
constexpr size_t TrayTipUnits = 127;

// The registration of the account (user@domain), and a chosen sound device that is missing ("" when none).
std::string RegistrationTip(const Registration& registration, const std::string& address,
                            const std::string& missingDevice);
// The text, UTF-8, cut to at most `units` UTF-16 characters, never inside a character's bytes; a cut
// text ends with "...". A byte that starts no valid character counts as one.
std::string CutToUnits(const std::string& text, size_t units);
