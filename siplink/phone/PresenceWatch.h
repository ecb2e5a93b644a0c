#pragma once
// The contacts' presence: a SUBSCRIBE (event presence, PIDF) for each contact SipLink watches, through the
// provider with the account's credentials, refreshed by libre while it lasts. Each NOTIFY's presence that
// differs from the last is told to the window thread; a subscription the far end refuses or ends is told
// as unknown. Lives on an endpoint: a new registration watches anew.
#include <memory>
#include <string>
#include <vector>

#include "siplink/phone/Credentials.h"
#include "siplink/phone/EventQueue.h"
#include "siplink/phone/SipEndpoint.h"

namespace phone {

struct Settings;

class PresenceWatch {
  public:
    PresenceWatch(SipEndpoint& endpoint, const Settings& settings, EventQueue& events);
    // Ends the subscriptions (libre unsubscribes on its own).
    ~PresenceWatch();
    PresenceWatch(const PresenceWatch&) = delete;
    PresenceWatch& operator=(const PresenceWatch&) = delete;

    // Watches these contacts from now on: new ones are subscribed, gone ones unsubscribed.
    void Watch(const std::vector<std::string>& uris);

  private:
    struct Subscription {
        PresenceWatch* watch;
        std::string uri;
        struct sipsub* subscription;
        Event::PresenceState told;
    };
    static void OnNotify(struct sip* sip, const struct sip_msg* message, void* arg);
    static void OnClosed(int err, const struct sip_msg* message, const struct sipevent_substate* state,
                         void* arg);
    void Subscribe(Subscription& contact);
    void Tell(Subscription& contact, Event::PresenceState presence);

    SipEndpoint& endpoint;
    const Settings& settings;
    EventQueue& events;
    struct sipevent_sock* listener = nullptr;
    Credentials* credentials = nullptr;
    std::vector<std::unique_ptr<Subscription>> contacts;
};

} // namespace phone
