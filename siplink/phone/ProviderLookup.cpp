// The provider's addresses by libre's DNS client, and our address toward them.
#include "siplink/phone/ProviderLookup.h"

#include <winsock2.h>

#include <algorithm>

#include "siplink/phone/HostPort.h"

namespace phone {

namespace {

constexpr unsigned short SipPort = 5060;
constexpr size_t MaxTargets = 4; // SRV targets looked at: enough for any provider's failover set

std::string ErrorText(int err) {
    char text[128];
    return str_error(err, text, sizeof(text));
}

// The local address of a UDP socket connected toward `remote` (no packet is sent).
int LocalAddressToward(const struct sa& remote, struct sa* local) {
    SOCKET probe = socket(sa_af(&remote), SOCK_DGRAM, IPPROTO_UDP);
    if (probe == INVALID_SOCKET)
        return ENOTSOCK;
    int err = 0;
    struct sa bound;
    sa_init(&bound, sa_af(&remote));
    bound.len = sizeof(bound.u);
    if (connect(probe, &remote.u.sa, remote.len) != 0 || getsockname(probe, &bound.u.sa, &bound.len) != 0)
        err = EADDRNOTAVAIL;
    closesocket(probe);
    if (err)
        return err;
    sa_set_port(&bound, 0);
    if (!sa_isset(&bound, SA_ADDR))
        return EADDRNOTAVAIL;
    *local = bound;
    return 0;
}

} // namespace

ProviderLookup::ProviderLookup(struct dnsc* dnsClient, const std::string& hostPort, bool overTcp,
                               Done whenDone)
    : dns(dnsClient), done(std::move(whenDone)), tcp(overTcp) {
    tmr_init(&numericTimer);
    HostPort where = SplitHostPort(hostPort);
    host = where.host;
    port = where.port;
    // Numeric hosts, and every early failure, answer from a timer: `done` never runs inside the constructor.
    struct sa numeric;
    if (!where.valid) {
        earlyError = "the provider's address \"" + hostPort + "\" cannot be read";
    } else if (sa_set_str(&numeric, host.c_str(), port ? port : SipPort) == 0) {
        result.addresses.push_back(numeric);
    } else if (!dns) {
        earlyError = "no DNS server is known to look up " + host;
    } else if (port) {
        AskAddresses(host, port);
    } else {
        std::string name = std::string(tcp ? "_sip._tcp." : "_sip._udp.") + host;
        int err = dnsc_query(&srvQuery, dns, name.c_str(), DNS_TYPE_SRV, DNS_CLASS_IN, true, OnSrv, this);
        if (err)
            earlyError = "DNS: " + ErrorText(err);
    }
    if (!earlyError.empty() || !result.addresses.empty())
        tmr_start(&numericTimer, 0, OnNumeric, this);
}

ProviderLookup::~ProviderLookup() {
    tmr_cancel(&numericTimer);
    mem_deref(srvQuery);
    for (AddressQuery* query : addressQueries) {
        mem_deref(query->query);
        delete query;
    }
}

void ProviderLookup::OnNumeric(void* arg) {
    ProviderLookup* lookup = static_cast<ProviderLookup*>(arg);
    lookup->Finish(lookup->earlyError);
}

void ProviderLookup::OnSrv(int err, const struct dnshdr*, struct list* answers, struct list*, struct list*,
                           void* arg) {
    ProviderLookup* lookup = static_cast<ProviderLookup*>(arg);
    lookup->srvQuery = nullptr; // libre frees a query once it has answered
    std::vector<const struct dnsrr*> targets;
    for (struct le* entry = answers ? answers->head : nullptr; !err && entry; entry = entry->next) {
        const struct dnsrr* record = static_cast<const struct dnsrr*>(entry->data);
        if (record->type == DNS_TYPE_SRV && record->rdata.srv.target && record->rdata.srv.port)
            targets.push_back(record);
    }
    std::stable_sort(targets.begin(), targets.end(), [](const struct dnsrr* a, const struct dnsrr* b) {
        return a->rdata.srv.pri < b->rdata.srv.pri ||
               (a->rdata.srv.pri == b->rdata.srv.pri && a->rdata.srv.weight > b->rdata.srv.weight);
    });
    if (targets.size() > MaxTargets)
        targets.resize(MaxTargets);
    // No SRV record: the domain itself, on SIP's port.
    if (targets.empty())
        lookup->AskAddresses(lookup->host, SipPort);
    for (const struct dnsrr* target : targets)
        lookup->AskAddresses(target->rdata.srv.target, target->rdata.srv.port);
}

void ProviderLookup::AskAddresses(const std::string& name, unsigned short addressPort) {
    AddressQuery* query = new AddressQuery{this, nullptr, addressPort, {}, false};
    addressQueries.push_back(query);
    int err = dnsc_query(&query->query, dns, name.c_str(), DNS_TYPE_A, DNS_CLASS_IN, true, OnAddress, query);
    if (err) {
        query->answered = true;
        earlyError = "DNS: " + ErrorText(err);
        tmr_start(&numericTimer, 0, OnNumeric, this);
    }
}

void ProviderLookup::OnAddress(int err, const struct dnshdr*, struct list* answers, struct list*,
                               struct list*, void* arg) {
    AddressQuery* query = static_cast<AddressQuery*>(arg);
    query->query = nullptr;
    query->answered = true;
    for (struct le* entry = answers ? answers->head : nullptr; !err && entry; entry = entry->next) {
        const struct dnsrr* record = static_cast<const struct dnsrr*>(entry->data);
        if (record->type != DNS_TYPE_A)
            continue;
        struct sa address;
        sa_set_in(&address, record->rdata.a.addr, query->port);
        query->found.push_back(address);
    }
    ProviderLookup* lookup = query->lookup;
    for (AddressQuery* other : lookup->addressQueries)
        if (!other->answered)
            return;
    // All answered: the addresses in the order of the targets' preference.
    for (AddressQuery* other : lookup->addressQueries)
        lookup->result.addresses.insert(lookup->result.addresses.end(), other->found.begin(),
                                        other->found.end());
    lookup->Finish(lookup->result.addresses.empty() ? "DNS found no address for " + lookup->host : "");
}

void ProviderLookup::Finish(const std::string& error) {
    std::string why = error;
    if (why.empty()) {
        int err = LocalAddressToward(result.addresses.front(), &result.local);
        if (err)
            why = "no local address toward the provider (" + ErrorText(err) + ")";
    }
    done(why, result);
}

} // namespace phone
