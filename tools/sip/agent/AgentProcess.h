#pragma once
// A headless baresip on loopback, started from a Win32 program under Wine through agent.sh (Wine runs a
// Unix program given to CreateProcess). The agent's folder lies under the build's bin folder; the
// script ends the agent when this object asks, when the next start in the same folder finds it still
// there, or when the Wine session ends.
#include <windows.h>

#include "siplink/account/Account.h"
#include "tools/sip/agent/ScriptProcess.h"

#include <string>
#include <utility>
#include <vector>

struct AgentConfig {
    std::string name;         // the account's user part
    std::string displayName;  // the name its calls carry, \xNN escapes as bytes; none when empty
    int sipPort = 0;          // the SIP port; the port above it is taken too
    int rtpFirst = 0;         // ten RTP ports from here
    int controlPort = 0;      // the control connection
    int answerTimeoutS = 120; // an incoming call nobody answers is given up after this
    // Every request goes to this SIP port (the place of a provider's proxy); 0: straight to the address.
    int outboundPort = 0;
    // The loopback provider's port where the agent registers as the user `name` (password name + "pw");
    // 0: it registers nowhere.
    int registrarPort = 0;
    std::vector<std::pair<std::string, std::string>> contacts; // name, SIP address
    // The agent writes what each call sends and receives into its folder (dump-*-enc.wav, dump-*-dec.wav).
    bool record = false;
};

class AgentProcess {
  public:
    // Starts the agent; answers false when the script could not be started.
    bool Start(const AgentConfig& config);
    // Asks the agent to end in order (SIGTERM; SIGKILL after 3 s) without waiting.
    void AskToStop() { script.AskToStop(); }
    // Ends the agent in order and waits until it is gone.
    void Stop() { script.Stop(); }
    // Kills the agent at once (SIGKILL) and waits until it is gone; Start runs it again.
    void Kill() { script.Kill(); }
    bool Running() const { return script.Running(); }
    // The Windows path of the agent's output.
    std::string LogPath() const { return script.Path("log"); }
    // The Windows path of a file in the agent's folder (its recordings).
    std::string Path(const char* file) const { return script.Path(file); }

  private:
    ScriptProcess script;
};

// The loopback pair of the tests, the benchmark and ./dev sip, on ports base+60 to base+146 (a test's
// ports stay within 250, tests/common/TestSupport.h): the near agent
// "alice", which SipLink drives (every request goes to the far end, as to a provider's proxy; its one
// contact "bob" is the far end), and the far agent "42" (its contact "alice" is the near one).
struct AgentPair {
    AgentConfig nearEnd;
    AgentConfig farEnd;
    std::string nearAddress; // as the far end sees the near agent's calls come
    std::string farAddress;
    // A number the handset can dial to reach the far end: short, since each key is a frame through the
    // simulated base's channel, which loses some when the machine is heavily loaded.
    std::string farNumber;
};
AgentPair LoopbackAgents(int base, int farAnswerTimeoutS = 120);

// The account "alice" (password "alicepw") at the loopback provider on providerPort, registered every 10 s.
Account LoopbackAccount(int providerPort);
