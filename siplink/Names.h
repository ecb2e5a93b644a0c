#pragma once
// The names SipLink gives the program: contact handles its keypad browsing can reach, and the caller's
// name it shows. Text from the agent is UTF-8 of any quality; what leaves here is valid UTF-8, one word.
#include <string>
#include <vector>

// The text with each byte that does not belong to a well-formed UTF-8 character replaced by '?'.
std::string ValidUtf8(const std::string& text);
// One word of valid UTF-8 for a notification: blanks become '_', control characters go.
std::string OneWord(const std::string& text);
// %XX escapes of a SIP user part decoded; a broken escape stays as it is.
std::string PercentDecoded(const std::string& text);

// A number as the keypad types it (digits, '*', '#', a leading country code's '+'): always dialled as
// it is, never taken for a contact.
bool IsDialString(const std::string& text);

// A handle for each name (the contacts' names, in order): lower-case ASCII letters, digits and '_' and
// '+' only (accented Latin letters lose their accents, other characters go), beginning with a letter, a
// digit or '+' as the keypad's groups need; never a dial string, never the same as another's.
// `fallbacks` gives, per name, what to use when the name keeps nothing (the address's user part).
std::vector<std::string> MakeHandles(const std::vector<std::string>& names,
                                     const std::vector<std::string>& fallbacks);

// How the other party of a call is named: the display name the agent reported, else the contact's name,
// else the SIP user part (unescaped), else the host; never a whole URI.
std::string PartyName(const std::string& displayName, const std::string& contactName, const std::string& uri);
