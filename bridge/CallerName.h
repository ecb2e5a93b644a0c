#pragma once
// The contact a caller or a dialled number is: the same handle (letter case aside), or the same telephone
// number written another way (+49 30 1234, 0049301234, or 0301234 with the country code 0049). Plain C++.
#include <string>

#include "bridge/ContactList.h"

// The country code as the user entered it ("0049", "+49" or "49") in digits without its international
// prefix ("49"); empty when it is none.
std::string CountryDigits(const std::string& countryCode);

// The contact's handle, or empty when no contact matches.
std::string CallerName(const ContactList& contacts, const std::string& caller,
                       const std::string& countryCode);
