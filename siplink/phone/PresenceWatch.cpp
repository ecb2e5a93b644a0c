// SUBSCRIBE/NOTIFY for the contacts' presence.
#include "siplink/phone/PresenceWatch.h"

#include <algorithm>

#include "siplink/phone/Pidf.h"
#include "siplink/phone/Settings.h"
#include "siplink/phone/SipUri.h"

namespace phone {

namespace {

// Asked of the far end; it may grant less. libre refreshes before it runs out.
constexpr uint32_t SubscribeSeconds = 600;

} // namespace

PresenceWatch::PresenceWatch(SipEndpoint& sipEndpoint, const Settings& accountSettings,
                             EventQueue& eventQueue)
    : endpoint(sipEndpoint), settings(accountSettings), events(eventQueue),
      credentials(MakeCredentials(accountSettings)) {
    sipevent_listen(&listener, endpoint.Sip(), 32, 32, nullptr, nullptr);
}

PresenceWatch::~PresenceWatch() {
    for (const std::unique_ptr<Subscription>& contact : contacts)
        mem_deref(contact->subscription);
    mem_deref(listener);
    mem_deref(credentials);
}

void PresenceWatch::Watch(const std::vector<std::string>& uris) {
    auto watched = [&](const std::string& uri) {
        return std::find(uris.begin(), uris.end(), uri) != uris.end();
    };
    for (auto it = contacts.begin(); it != contacts.end();) {
        if (watched((*it)->uri)) {
            ++it;
            continue;
        }
        mem_deref((*it)->subscription);
        it = contacts.erase(it);
    }
    for (const std::string& uri : uris) {
        auto known =
            std::find_if(contacts.begin(), contacts.end(),
                         [&](const std::unique_ptr<Subscription>& contact) { return contact->uri == uri; });
        if (known != contacts.end() || uri.empty())
            continue;
        contacts.push_back(
            std::make_unique<Subscription>(Subscription{this, uri, nullptr, Event::PresenceState::Unknown}));
        Subscribe(*contacts.back());
    }
}

void PresenceWatch::Subscribe(Subscription& contact) {
    const std::string route =
        settings.proxy.empty() ? ""
                               : "sip:" + settings.proxy + ";lr" + (endpoint.Tcp() ? ";transport=tcp" : "");
    const char* routes[] = {route.c_str()};
    const std::string from = AccountUri(settings.user, settings.domain);
    if (!listener || !credentials ||
        sipevent_subscribe(&contact.subscription, listener, contact.uri.c_str(),
                           settings.displayName.empty() ? nullptr : settings.displayName.c_str(),
                           from.c_str(), "presence", nullptr, SubscribeSeconds,
                           EscapeUser(settings.user).c_str(), route.empty() ? nullptr : routes,
                           route.empty() ? 0 : 1, AnswerChallenge, credentials, true, nullptr, OnNotify,
                           OnClosed, &contact, "Accept: application/pidf+xml\r\n") != 0)
        contact.subscription = nullptr;
}

void PresenceWatch::OnNotify(struct sip* sip, const struct sip_msg* message, void* arg) {
    Subscription* contact = static_cast<Subscription*>(arg);
    sip_treply(nullptr, sip, message, 200, "OK");
    if (!msg_ctype_cmp(&message->ctyp, "application", "pidf+xml"))
        return;
    contact->watch->Tell(*contact,
                         PresenceOf(std::string(reinterpret_cast<const char*>(mbuf_buf(message->mb)),
                                                mbuf_get_left(message->mb))));
}

void PresenceWatch::OnClosed(int, const struct sip_msg*, const struct sipevent_substate*, void* arg) {
    Subscription* contact = static_cast<Subscription*>(arg);
    contact->watch->Tell(*contact, Event::PresenceState::Unknown);
}

void PresenceWatch::Tell(Subscription& contact, Event::PresenceState presence) {
    if (presence == contact.told)
        return;
    contact.told = presence;
    Event event;
    event.kind = Event::Kind::Presence;
    event.peerUri = contact.uri;
    event.presence = presence;
    events.Push(std::move(event));
}

} // namespace phone
