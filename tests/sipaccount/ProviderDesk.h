#pragma once
// The SIP desk (tests/sipcalls/SipDesk.h) as the account's tests use it: SipLink started by each test with
// the account it wants, or with the line offered from the start; and SIPp far ends for the answers and
// the bad input an agent cannot give on demand.
#include <winsock2.h>

#include "tests/sipcalls/SipDesk.h"
#include "tools/sip/agent/ScriptProcess.h"

namespace sipaccount {

using sipcalls::AtProvider;
using sipcalls::Port;
using sipcalls::Wait;

// A SIPp far end: registers as user 7477 ("SIPP" on a keypad) at the provider, then plays a scenario of
// the provider folder.
class SippFarEnd {
  public:
    // Runs the scenario as the user 7477 reached through the provider; `arguments` may begin with
    // sipp.sh's "-set NAME VALUE" triples.
    bool Start(const std::string& scenario, const std::vector<std::string>& arguments = {});
    // Waits for SIPp's end; answers its exit code (-1 when it did not end in time).
    int Result(DWORD timeoutMs = Wait);
    std::string Output() const;
    void Stop() { run.Stop(); }

  private:
    ScriptProcess run;
};

// The desk with the provider, the far end and the program, SipLink not started yet.
class ProviderDesk : public sipcalls::SipDesk {
  protected:
    ProviderDesk() { lineAtStart = false; }
};

// The desk with the line offered: SipLink registered at the provider, the program attached.
class ProviderLine : public sipcalls::SipDesk {
  protected:
    // The handset dials SIPp's user through the provider; SIPp plays the scenario.
    void DialSipp(const std::string& scenario, const std::vector<std::string>& arguments = {});

    SippFarEnd sipp;
};

} // namespace sipaccount
