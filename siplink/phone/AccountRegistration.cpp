// The REGISTER, its challenges and refreshes, and what the window thread is told of them.
#include "siplink/phone/AccountRegistration.h"

#include "siplink/phone/Settings.h"
#include "siplink/phone/SipUri.h"

namespace phone {

namespace {

// Over TCP a connection with nothing on it for 900 s is closed: refreshes must come sooner.
constexpr unsigned TcpMaxSeconds = 900;
constexpr unsigned DefaultSeconds = 300;

std::string Text(const struct pl& text) {
    return std::string(text.p ? text.p : "", text.l);
}

std::string ErrorText(int err) {
    char text[128];
    return str_error(err, text, sizeof(text));
}

} // namespace

AccountRegistration::AccountRegistration(SipEndpoint& sipEndpoint, EventQueue& eventQueue)
    : endpoint(sipEndpoint), events(eventQueue) {
    tmr_init(&giveUp);
}

AccountRegistration::~AccountRegistration() {
    tmr_cancel(&giveUp);
    mem_deref(registration);
    mem_deref(credentials);
}

void AccountRegistration::Start(const Settings& settings) {
    const bool tcp = endpoint.Tcp();
    const std::string transport = tcp ? ";transport=tcp" : "";
    const std::string registrar = "sip:" + settings.domain + transport;
    const std::string aor = AccountUri(settings.user, settings.domain);
    const std::string route = settings.proxy.empty() ? "" : "sip:" + settings.proxy + ";lr" + transport;
    const char* routes[] = {route.c_str()};
    unsigned seconds = settings.registerSeconds ? settings.registerSeconds : DefaultSeconds;
    if (tcp && seconds > TcpMaxSeconds)
        seconds = TcpMaxSeconds;
    credentials = MakeCredentials(settings);
    int err = credentials ? 0 : ENOMEM;
    if (!err)
        err = sipreg_register(&registration, endpoint.Sip(), registrar.c_str(), aor.c_str(),
                              settings.displayName.empty() ? nullptr : settings.displayName.c_str(),
                              aor.c_str(), seconds, EscapeUser(settings.user).c_str(),
                              route.empty() ? nullptr : routes, route.empty() ? 0 : 1, 0, AnswerChallenge,
                              credentials, true, OnResponse, this, nullptr, nullptr);
    if (err)
        GiveUp(Event::RegState::Unreachable, 0, "the REGISTER could not be sent (" + ErrorText(err) + ")");
}

void AccountRegistration::OnResponse(int err, const struct sip_msg* message, void* arg) {
    AccountRegistration* self = static_cast<AccountRegistration*>(arg);
    if (err || !message) {
        self->GiveUp(Event::RegState::Unreachable, 0, ErrorText(err ? err : ETIMEDOUT));
        return;
    }
    if (message->scode >= 300) {
        self->GiveUp(Event::RegState::Refused, message->scode, Text(message->reason));
        return;
    }
    self->endpoint.RegistrarAt(message->src);
    // A refresh that went well changes nothing the window shows.
    if (!self->registered) {
        self->registered = true;
        self->Report(Event::RegState::Registered, message->scode, Text(message->reason),
                     sipreg_proxy_expires(self->registration));
    }
}

void AccountRegistration::GiveUp(Event::RegState state, int code, const std::string& reason) {
    registered = false;
    Report(state, code, reason);
    // libre would try again later by itself: the registration goes, but not from within its own handler.
    tmr_start(&giveUp, 0, OnGiveUp, this);
}

void AccountRegistration::OnGiveUp(void* arg) {
    AccountRegistration* self = static_cast<AccountRegistration*>(arg);
    self->registration = static_cast<struct sipreg*>(mem_deref(self->registration));
}

void AccountRegistration::Report(Event::RegState state, int code, const std::string& reason,
                                 unsigned expires) {
    Event event;
    event.kind = Event::Kind::Registration;
    event.registration = state;
    event.code = code;
    event.reason = reason;
    event.expires = expires;
    events.Push(std::move(event));
}

} // namespace phone
