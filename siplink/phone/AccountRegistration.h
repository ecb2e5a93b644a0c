#pragma once
// The account's registration at the provider: libre's sipreg, with digest authentication (the auth user
// or the user part), the Contact's user the plain account user (some registrars refuse others), through
// the proxy the user gave if any. It reports each change of state as an event and refreshes at 90 % of
// the expiry the registrar granted. On a failure it reports and stops: it never tries again by itself
// (SipLink paces the retries: providers lock accounts that try too often).
#include <string>

#include "siplink/phone/Credentials.h"
#include "siplink/phone/EventQueue.h"
#include "siplink/phone/Libre.h"
#include "siplink/phone/SipEndpoint.h"

namespace phone {

struct Settings;

class AccountRegistration {
  public:
    AccountRegistration(SipEndpoint& endpoint, EventQueue& events);
    // Unregisters when registered (libre sends it and finishes on its own).
    ~AccountRegistration();
    AccountRegistration(const AccountRegistration&) = delete;
    AccountRegistration& operator=(const AccountRegistration&) = delete;

    // Sends the REGISTER; a failure to send is reported as an event at once.
    void Start(const Settings& settings);

  private:
    static void OnResponse(int err, const struct sip_msg* message, void* arg);
    static void OnGiveUp(void* arg);
    void Report(Event::RegState state, int code, const std::string& reason, unsigned expires = 0);
    void GiveUp(Event::RegState state, int code, const std::string& reason);

    SipEndpoint& endpoint;
    EventQueue& events;
    struct sipreg* registration = nullptr;
    Credentials* credentials = nullptr;
    bool registered = false; // as last reported
    struct tmr giveUp;       // frees a failed registration outside libre's handler
};

} // namespace phone
