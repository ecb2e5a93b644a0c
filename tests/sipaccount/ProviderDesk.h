#pragma once
// A desk with a real SIP account: the loopback provider (Kamailio as registrar and proxy, with digest
// authentication), a far-end agent registered there as user 42, SipLink.exe registering the account alice
// stored in the registry, the simulated base and DectBridge.exe.
#include <winsock2.h>

#include "tools/sip/agent/ScriptProcess.h"
#include "tests/sipcalls/SipDesk.h"

namespace sipaccount {

using sipcalls::Wait;

// This test program's ports, moved by the test port shift; they share the block of the loopback agents
// (SIP +60 and +80, RTP +100 and +120, control +144 and +146) and stay within it.
struct Ports {
    int base = test::TestPort(test::FirstTestPort);
    int provider = base + 90;
    int sipp = base + 150;
    int sippMedia = base + 160; // SIPp's audio and video ports with their control ports
};
const Ports Port;

// "sip:USER@provider".
std::string AtProvider(const std::string& user);

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

class ProviderDesk : public sipcalls::SipDesk {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The account SipLink registers, stored as its window stores it.
    void StoreAccount(const std::string& password);
    // Starts the provider; the variant "403" answers a wrong password at once with 403.
    bool StartProvider();
    // Starts SipLink; waits for its log to say it is ready.
    void StartSipLink();
    // Until SipLink's log holds the text anywhere.
    bool LogHas(const std::string& text, DWORD timeoutMs = Wait) const;
    // Until SipLink's log names the registration's state with these words.
    bool WaitForState(const std::string& words, DWORD timeoutMs = Wait) const;

    ScriptProcess provider;
};

// The desk with the line offered: SipLink registered at the provider, the program attached.
class ProviderLine : public ProviderDesk {
  protected:
    void SetUp() override;
    // The handset dials SIPp's user through the provider; SIPp plays the scenario.
    void DialSipp(const std::string& scenario, const std::vector<std::string>& arguments = {});

    SippFarEnd sipp;
};

} // namespace sipaccount
