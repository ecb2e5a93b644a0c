#pragma once
// A desk with a SIP line: the real DectBridge.exe over the simulated base, SipLink.exe in Skype's place
// registering its stored account (alice) at the loopback provider (Kamailio as registrar and proxy, with
// digest authentication), and a real user agent (Debian's baresip) registered there as 42 that the test
// drives as the other party.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sim/control/HandsetControl.h"
#include "tests/common/Program.h"
#include "tools/sip/agent/AgentClient.h"
#include "tools/sip/agent/AgentProcess.h"
#include "tools/sip/agent/ScriptProcess.h"

namespace sipcalls {

// Generous: on a loaded machine a step through the simulated base and the program can take seconds.
constexpr DWORD Wait = 10000;
// The far end's time-out for a call nobody answers (the caller then hears busy).
constexpr int FarAnswerTimeoutS = 3;

// This test program's ports, moved by the test port shift: the far end's (LoopbackAgents: SIP +80,
// RTP +120, control +146), the provider's, and SIPp's with its media ports.
struct Ports {
    int base = test::TestPort(test::FirstTestPort);
    int provider = base + 90;
    int sipp = base + 150;
    int sippMedia = base + 160;
};
const Ports Port;

// "sip:USER@provider".
std::string AtProvider(const std::string& user);
// The far end's number at the provider, as the handset dials it.
constexpr const char* FarNumber = "42";

// SipLink.exe as a test runs it: started with its log, ended as a user would (WM_CLOSE).
class SipLinkProcess {
  public:
    ~SipLinkProcess() { Stop(); }
    // Starts it; waits until its log says it is ready.
    bool Start(const std::string& logPath);
    void Stop();
    std::string Log() const { return test::ReadWholeFile(logPath); }
    // Until the log has a line "<ms> TAG TEXT".
    bool WaitForLog(const std::string& tag, const std::string& text, DWORD timeoutMs = Wait) const;

    DWORD Id() { return process.Id(); }
    // Waits for SipLink's end (by its own choice); answers its exit code, or STILL_ACTIVE.
    DWORD WaitForEnd(DWORD timeoutMs) { return process.Wait(timeoutMs); }

  private:
    test::Process process;
    std::string logPath;
};

class SipDesk : public ::testing::Test {
  protected:
    // The provider, the far end registered there, the account and the contacts stored as the user keeps
    // them; with `programAtStart` the program, with `lineAtStart` SipLink too, until the program has the
    // line.
    void SetUp() override;
    void TearDown() override;

    // The account SipLink registers, stored as its window stores it.
    void StoreAccount(const std::string& password);
    // Starts the provider; it answers a wrong password at once with 403.
    bool StartProvider();
    // Starts SipLink with the stored account.
    void StartSipLink();
    // Until SipLink's log holds the text anywhere.
    bool LogHas(const std::string& text, DWORD timeoutMs = Wait) const;
    // Until SipLink's log names the registration's state with these words.
    bool WaitForState(const std::string& words, DWORD timeoutMs = Wait) const;

    bool WaitForSkypeLight(bool on, DWORD timeoutMs = Wait);
    bool WaitForCallLight(bool on, DWORD timeoutMs = Wait);
    // Presses the keys, each once the base has handed the one before to the program.
    void Press(const std::string& keys);
    // Types the number after '#' and sends it with '#'; waits until SipLink has the program's CALL.
    void Dial(const std::string& number);
    // Chooses the first contact, bob, on the handset and calls it.
    void CallBob();
    // The far end rings with a call from SipLink's account through the provider.
    void FarRings();
    // The far end calls SipLink's account; the handset rings.
    void FarCalls();
    // The far end answers the call ringing there; the handset's call light goes on.
    void FarAnswers();
    // The key pressed in a call reaches the far end as its tone.
    void PressAToneReachesTheFarEnd(char key);
    // The end key ends the call at the far end.
    void HangUpAtTheHandset();
    // The far end ends the call in progress; the handset is released with it.
    void FarEndHangsUp();
    // Until the handset has had `count` release frames in all.
    bool WaitForRelease(uint32_t count, DWORD timeoutMs = Wait);
    // The next call ends for the handset: it is released, the call light is off, and the program was
    // told the status.
    void ExpectReleased(uint32_t releasesBefore, const std::string& status);
    static uint32_t Releases();
    std::string ShowLog() const { return "\nSipLink's log:\n" + sipLink.Log(); }

    // What SetUp starts with; a fixture may change it in its constructor.
    AgentConfig farConfig = FarEnd();
    std::vector<std::pair<std::string, std::string>> contacts = {{"bob", AtProvider(FarNumber)}};
    const char* showOnlineOnly = "0";
    bool programAtStart = true;
    bool lineAtStart = true;

    ScriptProcess provider;
    AgentProcess farAgent;
    AgentClient farEnd;
    SipLinkProcess sipLink;
    test::Program program;
    int callsEnded = 0;

  private:
    static AgentConfig FarEnd();
};

} // namespace sipcalls
