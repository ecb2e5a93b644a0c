#pragma once
// Where the provider is: the addresses of the registrar or proxy the user gave (else the account's
// domain), numeric at once or by DNS as SIP wants it (SRV for the transport, else A, through the system's
// DNS servers), and the phone's own address toward the first of them: the interface a UDP socket connected
// there is bound to, never "any" (the host's first address can be a VPN's or a link-local one).
#include <functional>
#include <string>
#include <vector>

#include "siplink/phone/Libre.h"

namespace phone {

class ProviderLookup {
  public:
    struct Result {
        std::vector<struct sa> addresses; // the provider's, best first
        struct sa local;                  // ours toward the first
    };
    // `error` is empty on success.
    using Done = std::function<void(const std::string& error, const Result& result)>;

    // Starts the lookup of "host[:port]"; `done` is called later on the stack's thread, once (never from
    // within this constructor). `dns` may be null (no DNS servers known): numeric hosts only.
    ProviderLookup(struct dnsc* dns, const std::string& hostPort, bool tcp, Done done);
    ~ProviderLookup();
    ProviderLookup(const ProviderLookup&) = delete;
    ProviderLookup& operator=(const ProviderLookup&) = delete;

  private:
    static void OnSrv(int err, const struct dnshdr* header, struct list* answers, struct list* authority,
                      struct list* additional, void* arg);
    static void OnAddress(int err, const struct dnshdr* header, struct list* answers, struct list* authority,
                          struct list* additional, void* arg);
    static void OnNumeric(void* arg);
    void AskAddresses(const std::string& name, unsigned short port);
    void Finish(const std::string& error);

    struct dnsc* const dns;
    const Done done;
    std::string host;
    unsigned short port = 0;
    bool tcp = false;
    struct dns_query* srvQuery = nullptr;
    // One A query per SRV target (or for the host); each knows the port its addresses take.
    struct AddressQuery {
        ProviderLookup* lookup;
        struct dns_query* query;
        unsigned short port;
        std::vector<struct sa> found;
        bool answered;
    };
    std::vector<AddressQuery*> addressQueries;
    struct tmr numericTimer;
    std::string earlyError;
    Result result;
};

} // namespace phone
