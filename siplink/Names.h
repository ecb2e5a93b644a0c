#pragma once
// The names SipLink gives the program: contact handles its keypad browsing can reach, what dials a caller
// back, and the caller's name it shows. Text from the phone and the contacts file is UTF-8 of any
// quality; what leaves here is valid UTF-8, one word.
#include <string>
#include <vector>

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

// What dials a caller who is no contact back: the SIP user part when it is a number, "anonymous" for a
// caller who withholds it (RFC 3323), else the caller's whole address ("sip:alice@example.org"), so that a
// name is never dialled as a number of the user's own provider.
std::string CallerHandle(const std::string& uri);

// How the other party of a call is named: the display name, else the contact's name, else the SIP user
// part (unescaped), else the host; never a whole URI.
std::string PartyName(const std::string& displayName, const std::string& contactName, const std::string& uri);
