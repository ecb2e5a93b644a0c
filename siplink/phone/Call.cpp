// A call's SIP session and the one function that moves its state.
#include "siplink/phone/Call.h"

#include "siplink/phone/Dtmf.h"
#include "siplink/phone/Settings.h"
#include "siplink/phone/SipUri.h"

namespace phone {

namespace {

constexpr const char* SdpType = "application/sdp";

std::string Text(const struct pl& text) {
    return std::string(text.p ? text.p : "", text.l);
}

std::string ErrorText(int err) {
    char text[128];
    return str_error(err, text, sizeof(text));
}

bool HasSdp(const struct sip_msg* message) {
    return message && mbuf_get_left(message->mb) > 0 && msg_ctype_cmp(&message->ctyp, "application", "sdp");
}

// The route through the proxy the user gave, or none.
std::string RouteOf(const Settings& settings) {
    if (settings.proxy.empty())
        return "";
    return "sip:" + settings.proxy + ";lr" + (settings.transport == "tcp" ? ";transport=tcp" : "");
}

} // namespace

Call::Call(CallId callId, Owner& callOwner, SipEndpoint& sipEndpoint, const Settings& accountSettings,
           Playout& playout, EventQueue& eventQueue)
    : id(callId), owner(callOwner), endpoint(sipEndpoint), settings(accountSettings), events(eventQueue),
      media(playout, [this] { Apply(CallSignal::NoMedia); }), credentials(MakeCredentials(accountSettings)) {}

Call::~Call() {
    mem_deref(session);
    mem_deref(credentials);
}

void Call::Dial(const std::string& uri) {
    peerUri = uri;
    std::string target = uri;
    const std::string route = RouteOf(settings);
    if (endpoint.Tcp() && route.empty() && target.find("transport=") == std::string::npos)
        target += ";transport=tcp";
    const std::string from = AccountUri(settings.user, settings.domain);
    const char* routes[] = {route.c_str()};
    int err = credentials ? media.Open(endpoint.Local(), settings) : ENOMEM;
    struct mbuf* offer = err ? nullptr : media.Offer();
    if (!err && !offer)
        err = ENOMEM;
    if (!err)
        err = sipsess_connect(&session, endpoint.Sessions(), target.c_str(),
                              settings.displayName.empty() ? nullptr : settings.displayName.c_str(),
                              from.c_str(), EscapeUser(settings.user).c_str(),
                              route.empty() ? nullptr : routes, route.empty() ? 0 : 1, SdpType, offer,
                              AnswerChallenge, credentials, true, OnOffer, OnAnswer, OnProgress,
                              OnEstablished, OnInfo, nullptr, OnClosed, this, nullptr);
    mem_deref(offer);
    if (err)
        Apply(CallSignal::Failed, 0, ErrorText(err));
}

bool Call::Ring(const struct sip_msg* invite) {
    outgoing = false;
    state = CallState::Incoming;
    peerUri = Text(invite->from.auri);
    peerName = Text(invite->from.dname);
    // A caller whose sound we cannot take is turned away before the handset rings.
    CallMedia::Remote remote = CallMedia::Remote::Usable;
    int err = credentials ? media.Open(endpoint.Local(), settings) : ENOMEM;
    if (!err && HasSdp(invite))
        remote = media.TakeRemote(invite->mb, true);
    if (!err && remote == CallMedia::Remote::Usable)
        err =
            sipsess_accept(&session, endpoint.Sessions(), invite, 180, "Ringing",
                           EscapeUser(settings.user).c_str(), SdpType, nullptr, AnswerChallenge, credentials,
                           true, OnOffer, OnAnswer, OnEstablished, OnInfo, nullptr, OnClosed, this, nullptr);
    if (err) {
        sip_treply(nullptr, endpoint.Sip(), invite, 500, "Server Internal Error");
        Apply(CallSignal::Failed, 500, ErrorText(err));
    } else if (remote == CallMedia::Remote::Malformed) {
        sip_treply(nullptr, endpoint.Sip(), invite, 400, "Bad Session Description");
        Apply(CallSignal::Malformed, 400, "Bad Session Description");
    } else if (remote == CallMedia::Remote::NoCommonCodec) {
        sip_treply(nullptr, endpoint.Sip(), invite, 488, "Not Acceptable Here");
        Apply(CallSignal::NoCommonCodec, 488, "Not Acceptable Here");
    } else {
        Tell(Event::Kind::Incoming);
    }
    return state == CallState::Incoming;
}

void Call::Answer() {
    if (state != CallState::Incoming)
        return;
    // A caller that sent no offer gets ours in the 200 and answers in its ACK.
    struct mbuf* description = media.HasRemote() ? media.Answer() : media.Offer();
    int err = description ? sipsess_answer(session, 200, "OK", description, nullptr) : ENOMEM;
    mem_deref(description);
    if (err)
        Apply(CallSignal::Failed, 0, ErrorText(err));
    else
        Apply(CallSignal::Answered);
}

void Call::SendDigit(char key) {
    const int event = EventOf(key);
    if (state != CallState::Established || event < 0 || media.SendEvent(event))
        return;
    const std::string body = InfoBody(key);
    struct mbuf* info = mbuf_alloc(body.size());
    if (!info)
        return;
    mbuf_write_str(info, body.c_str());
    info->pos = 0;
    sipsess_info(session, "application/dtmf-relay", info, nullptr, nullptr);
    mem_deref(info);
}

CallMedia::Remote Call::TakeRemote(const struct sip_msg* message, bool isOffer) {
    return HasSdp(message) ? media.TakeRemote(message->mb, isOffer) : CallMedia::Remote::Malformed;
}

int Call::OnOffer(struct mbuf** description, const struct sip_msg* message, void* arg) {
    Call* call = static_cast<Call*>(arg);
    // A re-INVITE without SDP asks for our offer; its answer comes with the ACK.
    if (!HasSdp(message)) {
        *description = call->media.Offer();
        return *description ? 0 : ENOMEM;
    }
    // A re-INVITE: hold, resume, a new address. The sound follows the new description; one we cannot use
    // is refused (488) and the call goes on as it was.
    if (call->TakeRemote(message, true) != CallMedia::Remote::Usable)
        return EPROTO;
    *description = call->media.Answer();
    return *description ? 0 : ENOMEM;
}

int Call::OnAnswer(const struct sip_msg* message, void* arg) {
    Call* call = static_cast<Call*>(arg);
    CallMedia::Remote remote = call->TakeRemote(message, false);
    if (remote == CallMedia::Remote::Usable)
        return 0;
    // libre ends the session (BYE) and closes it: the close tells why.
    call->closing =
        remote == CallMedia::Remote::NoCommonCodec ? CallSignal::NoCommonCodec : CallSignal::Malformed;
    call->closingChosen = true;
    return EPROTO;
}

void Call::OnProgress(const struct sip_msg* message, void* arg) {
    Call* call = static_cast<Call*>(arg);
    if (message->scode < 180)
        return;
    // Early media that cannot be used is no sound of the far end's: ringback plays.
    if (HasSdp(message) && call->media.TakeRemote(message->mb, false) == CallMedia::Remote::Usable)
        call->Apply(CallSignal::FarEarlyMedia);
    else
        call->Apply(CallSignal::FarRinging);
}

void Call::OnEstablished(const struct sip_msg*, void* arg) {
    Call* call = static_cast<Call*>(arg);
    if (call->outgoing)
        call->Apply(CallSignal::FarAnswered);
}

void Call::OnInfo(struct sip* sip, const struct sip_msg* message, void*) {
    sip_reply(sip, message, 200, "OK");
}

void Call::OnClosed(int err, const struct sip_msg* message, void* arg) {
    Call* call = static_cast<Call*>(arg);
    if (call->closingChosen)
        call->Apply(call->closing);
    else if (message && message->scode >= 300)
        call->Apply(CallSignal::FarRefused, message->scode, Text(message->reason));
    else if (err == ETIMEDOUT)
        call->Apply(CallSignal::TimedOut, 0, ErrorText(err));
    else if (err && err != ECONNRESET)
        call->Apply(CallSignal::Failed, 0, ErrorText(err));
    else
        call->Apply(CallSignal::FarEnded);
}

void Call::Apply(CallSignal signal, int code, const std::string& reason) {
    const CallStep step = Step(state, signal, code);
    if (step.next == state)
        return;
    const CallState from = state;
    state = step.next;
    switch (state) {
    case CallState::Ringing:
        media.SetFlow(false, false);
        Tell(Event::Kind::Progress);
        break;
    case CallState::Early:
        media.SetFlow(true, false);
        Tell(Event::Kind::Progress);
        break;
    case CallState::Established:
        media.SetFlow(true, true);
        Tell(Event::Kind::Established);
        break;
    case CallState::Terminated:
        end = step.end;
        endCode = code;
        endReason = reason;
        media.SetFlow(false, false);
        Tell(Event::Kind::Closed);
        break;
    case CallState::Outgoing:
    case CallState::Incoming:
        break;
    }
    owner.CallChanged(*this, from);
}

void Call::Tell(Event::Kind kind) {
    Event event;
    event.kind = kind;
    event.call = id;
    event.earlyMedia = state == CallState::Early;
    if (kind == Event::Kind::Incoming || kind == Event::Kind::Closed) {
        event.peerUri = peerUri;
        event.peerName = peerName;
    }
    if (kind == Event::Kind::Closed) {
        event.end = end;
        event.code = endCode;
        event.reason = endReason;
        event.packetsSent = media.Sent();
        event.packetsReceived = media.Received();
    }
    events.Push(std::move(event));
}

} // namespace phone
