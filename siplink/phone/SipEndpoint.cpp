// libre's SIP stack on our address, and the gate in front of it.
#include "siplink/phone/SipEndpoint.h"

#include "siplink/phone/Settings.h"

namespace phone {

namespace {

constexpr const char* Software = "DectBridge SipLink";
constexpr const char* Allow = "Allow: INVITE, ACK, BYE, CANCEL, OPTIONS, INFO, NOTIFY\r\n";

std::string ErrorText(int err) {
    char text[128];
    return str_error(err, text, sizeof(text));
}

std::string AddressOf(const struct sa& address) {
    char text[64];
    return sa_ntop(&address, text, sizeof(text)) == 0 ? text : "";
}

} // namespace

SipEndpoint::SipEndpoint(struct dnsc* dns, InviteHandler handler) : onInvite(std::move(handler)) {
    sa_init(&local, AF_UNSPEC);
    sa_init(&registrar, AF_UNSPEC);
    tmr_init(&keepalive);
    sip_alloc(&sip, dns, 32, 32, 32, Software, OnExit, this);
}

SipEndpoint::~SipEndpoint() {
    tmr_cancel(&keepalive);
    mem_deref(sessions);
    mem_deref(gate);
    if (sip) {
        sip_close(sip, true);
        // After CloseInOrder our reference is libre's, until it gives one back as the stack is done.
        if (!closing || exited)
            mem_deref(sip);
    }
}

std::string SipEndpoint::Open(const struct sa& address, const Settings& settings) {
    if (!sip)
        return "the SIP stack could not be made";
    filter.SetProviderOnly(settings.providerOnly);
    tcp = settings.transport == "tcp";
    local = address;
    sa_set_port(&local, settings.sipPort);
    int err = sip_transp_add(sip, SIP_TRANSP_UDP, &local);
    // TCP on the same port as UDP, as SIP expects of a Contact without a transport.
    if (!err) {
        struct sa bound;
        if (sip_transp_laddr(sip, &bound, SIP_TRANSP_UDP, &local) == 0)
            local = bound;
        err = sip_transp_add(sip, SIP_TRANSP_TCP, &local);
    }
    // The gate first: libre asks the listeners in the order they came.
    if (!err)
        err = sip_listen(&gate, sip, true, OnRequest, this);
    if (!err)
        err = sipsess_listen(&sessions, sip, 32, OnSessionRequest, this);
    if (err)
        return "cannot listen for SIP on " + AddressOf(local) + ":" + std::to_string(sa_port(&local)) + " (" +
               ErrorText(err) + ")";
    return "";
}

void SipEndpoint::TrustProvider(const struct sa& address) {
    filter.AddProvider(AddressOf(address));
}

void SipEndpoint::RegistrarAt(const struct sa& address) {
    filter.AddProvider(AddressOf(address));
    if (tcp || sa_cmp(&registrar, &address, SA_ALL))
        return;
    registrar = address;
    tmr_start(&keepalive, KeepaliveS * 1000, OnKeepalive, this);
}

void SipEndpoint::OnKeepalive(void* arg) {
    SipEndpoint* endpoint = static_cast<SipEndpoint*>(arg);
    static uint8_t crlfcrlf[] = {'\r', '\n', '\r', '\n'};
    struct mbuf ping;
    mbuf_init(&ping);
    ping.buf = crlfcrlf;
    ping.size = ping.end = sizeof(crlfcrlf);
    sip_send(endpoint->sip, nullptr, SIP_TRANSP_UDP, &endpoint->registrar, &ping);
    tmr_start(&endpoint->keepalive, KeepaliveS * 1000, OnKeepalive, endpoint);
}

bool SipEndpoint::OnRequest(const struct sip_msg* message, void* arg) {
    SipEndpoint* endpoint = static_cast<SipEndpoint*>(arg);
    // Dropped unanswered: a scanner learns nothing, not even that a phone is here.
    if (endpoint->closing || !endpoint->filter.Takes(AddressOf(message->src), pl_isset(&message->to.tag)))
        return true;
    if (!pl_strcmp(&message->met, "OPTIONS") && !pl_isset(&message->to.tag)) {
        sip_replyf(endpoint->sip, message, 200, "OK", "%sContent-Length: 0\r\n\r\n", Allow);
        return true;
    }
    return false; // on to the sessions' listener
}

void SipEndpoint::OnSessionRequest(const struct sip_msg* message, void* arg) {
    static_cast<SipEndpoint*>(arg)->onInvite(message);
}

void SipEndpoint::CloseInOrder(std::function<void()> whenClosed) {
    tmr_cancel(&keepalive);
    sessions = static_cast<struct sipsess_sock*>(mem_deref(sessions));
    gate = static_cast<struct sip_lsnr*>(mem_deref(gate));
    if (!sip || closing) {
        whenClosed();
        return;
    }
    closed = std::move(whenClosed);
    closing = true;
    sip_close(sip, false);
}

void SipEndpoint::OnExit(void* arg) {
    SipEndpoint* endpoint = static_cast<SipEndpoint*>(arg);
    if (endpoint->closing && endpoint->closed) {
        std::function<void()> whenClosed = std::move(endpoint->closed);
        endpoint->closed = nullptr;
        endpoint->exited = true;
        whenClosed();
    }
}

} // namespace phone
