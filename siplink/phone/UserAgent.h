#pragma once
// Everything on the stack's thread: the settings, the provider lookup, the SIP endpoint, the account's
// registration, the contacts' presence, the one call (a second caller gets 486), the speaker's playout and
// the sound devices. It carries out the window thread's commands and the sound thread's frames, and decides
// what the devices do: they run while a call needs them (from the dial or the answer to the end of the busy
// tone).
#include <atomic>
#include <memory>
#include <vector>

#include "siplink/phone/AccountRegistration.h"
#include "siplink/phone/Call.h"
#include "siplink/phone/EventQueue.h"
#include "siplink/phone/Inbox.h"
#include "siplink/phone/Playout.h"
#include "siplink/phone/PresenceWatch.h"
#include "siplink/phone/ProviderLookup.h"
#include "siplink/phone/SipEndpoint.h"
#include "siplink/phone/Sound.h"

namespace phone {

class UserAgent : public Call::Owner {
  public:
    // Stop's bound on the goodbyes (BYE, unregistration) before the loop ends anyway.
    static constexpr unsigned StopWaitMs = 2000;

    // `callIds` names the calls that come in (the window thread names those it places from it too).
    UserAgent(EventQueue& events, Inbox& inbox, const SoundFactory& sound, std::atomic<CallId>& callIds);
    ~UserAgent();
    UserAgent(const UserAgent&) = delete;
    UserAgent& operator=(const UserAgent&) = delete;

    void Handle(Command& command);
    void Captured(const Frame& frame);

  private:
    void Apply(const Settings& next, bool registerAgain);
    void Register();
    void Registered(const std::string& error, const ProviderLookup::Result& result);
    void Unregister();
    void Dial(CallId id, const std::string& target);
    void Incoming(const struct sip_msg* invite);
    void Stop();
    void CallChanged(Call& changed, CallState from) override;
    void SoundNeeded(bool needed);
    void ReportRegistration(Event::RegState state, const std::string& reason);
    // The call asked for, if it is the one there is.
    Call* Find(CallId id) const;
    static void OnReap(void* arg);
    static void OnBusyOver(void* arg);
    static void OnStopBound(void* arg);

    EventQueue& events;
    Inbox& inbox;
    const SoundFactory& soundFactory;
    std::atomic<CallId>& callIds;
    Settings settings;
    bool haveSettings = false;
    struct dnsc* dns = nullptr;
    std::unique_ptr<ProviderLookup> lookup;
    std::unique_ptr<SipEndpoint> endpoint;
    std::unique_ptr<AccountRegistration> registration;
    std::unique_ptr<PresenceWatch> presence;
    std::vector<std::string> watched; // the contacts SipLink asked to watch, kept across registrations
    bool registrationWaits = false;   // asked while a call was up: it starts when the call ends
    std::unique_ptr<Call> call;
    std::vector<std::unique_ptr<Call>> ended; // terminated, freed from a timer outside libre's handlers
    Playout playout;
    std::unique_ptr<Sound> sound; // running while a call or the busy tone needs it
    struct tmr reap;
    struct tmr busyOver;
    struct tmr stopBound;
    bool stopping = false;
};

} // namespace phone
