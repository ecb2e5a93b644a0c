// The digest credentials handed to libre.
#include "siplink/phone/Credentials.h"

#include "siplink/phone/Settings.h"

namespace phone {

namespace {

void Destroy(void* arg) {
    Credentials* credentials = static_cast<Credentials*>(arg);
    mem_deref(credentials->user);
    mem_deref(credentials->password);
}

} // namespace

Credentials* MakeCredentials(const Settings& settings) {
    Credentials* credentials = static_cast<Credentials*>(mem_zalloc(sizeof(Credentials), Destroy));
    if (!credentials)
        return nullptr;
    const std::string& user = settings.authUser.empty() ? settings.user : settings.authUser;
    if (str_dup(&credentials->user, user.c_str()) ||
        str_dup(&credentials->password, settings.password.c_str()))
        return static_cast<Credentials*>(mem_deref(credentials));
    return credentials;
}

int AnswerChallenge(char** user, char** password, const char*, void* arg) {
    const Credentials* credentials = static_cast<const Credentials*>(arg);
    int err = str_dup(user, credentials->user);
    return err ? err : str_dup(password, credentials->password);
}

} // namespace phone
