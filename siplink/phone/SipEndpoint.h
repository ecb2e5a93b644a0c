#pragma once
// The phone's SIP socket: libre's SIP stack on the local address toward the provider, with UDP and TCP
// transports on one port, the session listener, and in front of every other listener the source filter
// (a request that starts something is taken only from the provider; others are dropped unanswered). It
// answers the provider's OPTIONS pings, and over UDP sends a keepalive (CRLF CRLF, RFC 5626) to the
// registrar every KeepaliveS: a home router forgets an idle UDP binding after 30 s to a few minutes, and
// then the provider's INVITE would not reach us until the next registration. One endpoint per
// registration: a new registration starts with a new endpoint (see UserAgent).
#include <functional>
#include <string>

#include "siplink/phone/Libre.h"
#include "siplink/phone/SourceFilter.h"

namespace phone {

struct Settings;

class SipEndpoint {
  public:
    static constexpr unsigned KeepaliveS = 25;

    using InviteHandler = std::function<void(const struct sip_msg* message)>;

    SipEndpoint(struct dnsc* dns, InviteHandler onInvite);
    // Closes at once: transactions still open are dropped.
    ~SipEndpoint();
    SipEndpoint(const SipEndpoint&) = delete;
    SipEndpoint& operator=(const SipEndpoint&) = delete;

    // Listens on `local` (its port: settings.sipPort, 0: any); answers an error text, empty on success.
    std::string Open(const struct sa& local, const Settings& settings);

    struct sip* Sip() const {
        return sip;
    }
    struct sipsess_sock* Sessions() const {
        return sessions;
    }
    // The local address as the transports bound it (with the port).
    const struct sa& Local() const { return local; }
    bool Tcp() const { return tcp; }
    SourceFilter& Filter() { return filter; }

    // An address of the provider's, as DNS named it: its requests are taken.
    void TrustProvider(const struct sa& address);
    // The registrar answered from here: its requests are taken, and UDP keepalives go there.
    void RegistrarAt(const struct sa& registrar);

    // Ends in order: no more requests are taken, open transactions (a BYE, an unregistration) finish, then
    // `closed` is called; Stop's own time bound covers a far end that never answers.
    void CloseInOrder(std::function<void()> closed);

  private:
    static bool OnRequest(const struct sip_msg* message, void* arg);
    static void OnSessionRequest(const struct sip_msg* message, void* arg);
    static void OnKeepalive(void* arg);
    static void OnExit(void* arg);

    const InviteHandler onInvite;
    std::function<void()> closed;
    struct sip* sip = nullptr;
    struct sip_lsnr* gate = nullptr;
    struct sipsess_sock* sessions = nullptr;
    struct sa local;
    bool tcp = false;
    bool closing = false; // CloseInOrder gave libre our reference to the stack
    bool exited = false;  // libre gave a reference back: every transaction has finished
    SourceFilter filter;
    struct sa registrar;
    struct tmr keepalive;
};

} // namespace phone
