// The stack thread's user agent: commands carried out, the registration, the call, the sound devices.
#include "siplink/phone/UserAgent.h"

#include "siplink/phone/SipUri.h"

namespace phone {

namespace {

constexpr uint32_t MaxDnsServers = 4;

struct dnsc* SystemDns() {
    struct sa servers[MaxDnsServers];
    uint32_t count = MaxDnsServers;
    char domain[256] = "";
    struct dnsc* dns = nullptr;
    if (dns_srv_get(domain, sizeof(domain), servers, &count) == 0 && count > 0)
        dnsc_alloc(&dns, nullptr, servers, count);
    return dns;
}

} // namespace

UserAgent::UserAgent(EventQueue& eventQueue, Inbox& stackInbox, const SoundFactory& sound,
                     std::atomic<CallId>& ids)
    : events(eventQueue), inbox(stackInbox), soundFactory(sound), callIds(ids), dns(SystemDns()),
      playout(nullptr) {
    tmr_init(&reap);
    tmr_init(&busyOver);
    tmr_init(&stopBound);
}

UserAgent::~UserAgent() {
    tmr_cancel(&reap);
    tmr_cancel(&busyOver);
    tmr_cancel(&stopBound);
    if (sound)
        sound->Stop();
    call.reset();
    ended.clear();
    presence.reset();
    registration.reset();
    lookup.reset();
    endpoint.reset();
    mem_deref(dns);
}

void UserAgent::Handle(Command& command) {
    if (stopping)
        return;
    Call* target = Find(command.call);
    switch (command.kind) {
    case Command::Kind::Apply:
        Apply(command.settings, command.registerAgain);
        break;
    case Command::Kind::Register:
        if (haveSettings)
            Register();
        break;
    case Command::Kind::Unregister:
        Unregister();
        break;
    case Command::Kind::Dial:
        Dial(command.call, command.target);
        break;
    case Command::Kind::Answer:
        if (target)
            target->Answer();
        break;
    case Command::Kind::Hangup:
        if (target)
            target->Hangup();
        break;
    case Command::Kind::Digit:
        if (target)
            target->SendDigit(command.key);
        break;
    case Command::Kind::DevicesChanged:
        if (sound)
            sound->DevicesChanged();
        break;
    case Command::Kind::Watch:
        watched = command.uris;
        if (presence)
            presence->Watch(watched);
        break;
    case Command::Kind::Stop:
        Stop();
        break;
    }
}

void UserAgent::Captured(const Frame& frame) {
    if (call)
        call->Tick(frame);
}

Call* UserAgent::Find(CallId id) const {
    return call && id != 0 && call->Id() == id ? call.get() : nullptr;
}

void UserAgent::Apply(const Settings& next, bool registerAgain) {
    const bool changed = !haveSettings || !settings.SameAccount(next);
    settings = next;
    haveSettings = true;
    if (changed || registerAgain)
        Register();
}

// Each registration starts on a new endpoint: the old one's transactions (an unregistration still being
// sent after a failed refresh) die with it and cannot undo the new registration at the registrar.
void UserAgent::Register() {
    if (call) {
        registrationWaits = true;
        return;
    }
    registrationWaits = false;
    presence.reset();
    registration.reset();
    endpoint.reset();
    lookup.reset();
    if (settings.user.empty() || settings.domain.empty()) {
        ReportRegistration(Event::RegState::Unregistered, "no account");
        return;
    }
    ReportRegistration(Event::RegState::Registering, "");
    lookup = std::make_unique<ProviderLookup>(
        dns, settings.proxy.empty() ? settings.domain : settings.proxy, settings.transport == "tcp",
        [this](const std::string& error, const ProviderLookup::Result& result) {
            Registered(error, result);
        });
}

void UserAgent::Registered(const std::string& error, const ProviderLookup::Result& result) {
    if (!error.empty()) {
        ReportRegistration(Event::RegState::Unreachable, error);
        return;
    }
    endpoint = std::make_unique<SipEndpoint>(dns, [this](const struct sip_msg* invite) { Incoming(invite); });
    std::string failure = endpoint->Open(result.local, settings);
    if (!failure.empty()) {
        endpoint.reset();
        ReportRegistration(Event::RegState::Unreachable, failure);
        return;
    }
    for (const struct sa& address : result.addresses)
        endpoint->TrustProvider(address);
    registration = std::make_unique<AccountRegistration>(*endpoint, events);
    registration->Start(settings);
    presence = std::make_unique<PresenceWatch>(*endpoint, settings, events);
    presence->Watch(watched);
}

void UserAgent::Unregister() {
    registrationWaits = false;
    lookup.reset();
    registration.reset();
    ReportRegistration(Event::RegState::Unregistered, "");
}

void UserAgent::Dial(CallId id, const std::string& target) {
    const std::string uri = TargetUri(target, settings.domain);
    std::string refusal;
    if (call)
        refusal = "another call is up";
    else if (!endpoint)
        refusal = "the line is not set up yet";
    else if (uri.empty())
        refusal = "nothing to dial";
    if (!refusal.empty()) {
        Event closed;
        closed.kind = Event::Kind::Closed;
        closed.call = id;
        closed.end = CallEnd::Failed;
        closed.reason = refusal;
        closed.peerUri = uri;
        events.Push(std::move(closed));
        return;
    }
    tmr_cancel(&busyOver);
    playout.SetTone(Tone::None);
    call = std::make_unique<Call>(id, *this, *endpoint, settings, playout, events);
    SoundNeeded(true);
    call->Dial(uri);
}

void UserAgent::Incoming(const struct sip_msg* invite) {
    if (stopping)
        return;
    const CallId id = callIds++;
    if (call) {
        sip_treply(nullptr, endpoint->Sip(), invite, 486, "Busy Here");
        Event closed;
        closed.kind = Event::Kind::Closed;
        closed.call = id;
        closed.end = CallEnd::LineBusy;
        closed.code = 486;
        closed.reason = "Busy Here";
        closed.peerUri = std::string(invite->from.auri.p, invite->from.auri.l);
        closed.peerName = std::string(invite->from.dname.p ? invite->from.dname.p : "", invite->from.dname.l);
        events.Push(std::move(closed));
        return;
    }
    // The handset rings: a busy tone still playing from a call before stops.
    tmr_cancel(&busyOver);
    SoundNeeded(false);
    call = std::make_unique<Call>(id, *this, *endpoint, settings, playout, events);
    call->Ring(invite);
}

void UserAgent::CallChanged(Call& changed, CallState from) {
    switch (changed.State()) {
    case CallState::Ringing:
        playout.SetTone(Tone::Ringback);
        break;
    case CallState::Early:
        playout.SetTone(Tone::None);
        break;
    case CallState::Established:
        playout.SetTone(Tone::None);
        SoundNeeded(true);
        break;
    case CallState::Terminated:
        if (!stopping && changed.Outgoing() && BusyToneAfter(from, changed.End())) {
            playout.SetTone(Tone::Busy);
            tmr_start(&busyOver, BusyToneMs, OnBusyOver, this);
        } else {
            SoundNeeded(false);
        }
        if (call.get() == &changed)
            ended.push_back(std::move(call));
        tmr_start(&reap, 0, OnReap, this);
        break;
    case CallState::Outgoing:
    case CallState::Incoming:
        break;
    }
}

void UserAgent::OnReap(void* arg) {
    UserAgent* agent = static_cast<UserAgent*>(arg);
    agent->ended.clear();
    if (agent->registrationWaits && !agent->call)
        agent->Register();
}

void UserAgent::OnBusyOver(void* arg) {
    UserAgent* agent = static_cast<UserAgent*>(arg);
    agent->playout.SetTone(Tone::None);
    if (!agent->call)
        agent->SoundNeeded(false);
}

void UserAgent::SoundNeeded(bool needed) {
    if (needed && !sound) {
        Sound::Handlers handlers;
        Inbox& frames = inbox;
        Playout& speaker = playout;
        EventQueue& told = events;
        handlers.captured = [&frames](const Frame& frame) { frames.PushFrame(frame); };
        handlers.nextToPlay = [&speaker](Frame& frame) { return speaker.Next(frame); };
        handlers.deviceState = [&told](const std::string& missing) {
            Event event;
            event.kind = Event::Kind::Sound;
            event.missingDevice = missing;
            told.Push(std::move(event));
        };
        sound = soundFactory(std::move(handlers));
        if (sound)
            sound->Start(settings.speaker, settings.microphone);
    } else if (!needed && sound) {
        tmr_cancel(&busyOver);
        sound->Stop();
        sound.reset();
        playout.SetTone(Tone::None);
    }
}

void UserAgent::ReportRegistration(Event::RegState state, const std::string& reason) {
    Event event;
    event.kind = Event::Kind::Registration;
    event.registration = state;
    event.reason = reason;
    events.Push(std::move(event));
}

// Ends in order: the call's BYE or CANCEL and the unregistration go out, and the loop ends when they are
// answered or after StopWaitMs.
void UserAgent::Stop() {
    stopping = true;
    if (call)
        call->Stop();
    ended.clear();
    SoundNeeded(false);
    lookup.reset();
    presence.reset();
    registration.reset();
    ReportRegistration(Event::RegState::Unregistered, "");
    tmr_start(&stopBound, StopWaitMs, OnStopBound, this);
    if (endpoint)
        endpoint->CloseInOrder([] { re_cancel(); });
    else
        re_cancel();
}

void UserAgent::OnStopBound(void*) {
    re_cancel();
}

} // namespace phone
