#pragma once
// The account's digest credentials as libre's requests ask for them (a registration's, a call's, an INFO's
// challenge). A libre object: each request holds a reference, so a challenge that comes after its call or
// registration object has gone still finds them.
#include <string>

#include "siplink/phone/Libre.h"

namespace phone {

struct Settings;

struct Credentials {
    char* user;
    char* password;
};

// A new reference (free with mem_deref); null when out of memory.
Credentials* MakeCredentials(const Settings& settings);

// libre's auth handler; its argument is a Credentials.
int AnswerChallenge(char** user, char** password, const char* realm, void* arg);

} // namespace phone
