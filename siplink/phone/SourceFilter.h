#pragma once
// Who may ring the handset: SIP scanners on the internet send INVITEs to every open port ("ghost calls"),
// so a request that starts something here (an INVITE, an OPTIONS; anything without a To tag) is taken only
// from the provider's addresses: the registrar's or proxy's, as DNS named them and as its answers came
// from. Requests within a dialog (BYE, re-INVITE) belong to a call the provider set up and pass. Plain C++.
#include <set>
#include <string>

namespace phone {

class SourceFilter {
  public:
    // Off: every address is taken (the user's choice, for a peer-to-peer setup).
    void SetProviderOnly(bool on) { providerOnly = on; }
    // The provider's addresses are learnt anew (a new registration).
    void Forget() { providers.clear(); }
    // An address of the provider, numeric ("192.0.2.7").
    void AddProvider(const std::string& address) { providers.insert(address); }
    // Whether a request from `address` is taken; `inDialog`: it carries a To tag.
    bool Takes(const std::string& address, bool inDialog) const;

  private:
    bool providerOnly = true;
    std::set<std::string> providers;
};

} // namespace phone
