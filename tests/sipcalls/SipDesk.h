#pragma once
// A desk with a SIP line: the real DectBridge.exe over the simulated base, SipLink.exe in Skype's place,
// and two real user agents on loopback: the near one that SipLink drives and the far one that the test
// drives as the other party.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "sim/control/HandsetControl.h"
#include "siplink/agent/AgentClient.h"
#include "siplink/agent/AgentProcess.h"
#include "tests/common/Program.h"

namespace sipcalls {

constexpr DWORD Wait = 5000;
// Ports of this test program only (other test programs use other ranges).
constexpr int NearSipPort = 35060;
constexpr int FarSipPort = 35080;
constexpr int NearControlPort = 35444;
constexpr int FarControlPort = 35446;
// The far end gives up a call it does not answer after this (the caller hears busy).
constexpr int FarAnswerTimeoutS = 3;
constexpr const char* FarNumber = "5550100";
// The near agent's address, as the far end sees its calls come.
constexpr const char* NearAddress = "sip:alice@127.0.0.1:35060";
constexpr const char* FarAddress = "sip:5550100@127.0.0.1:35080";

AgentConfig NearAgentConfig();
AgentConfig FarAgentConfig();

// SipLink.exe as a test runs it: started with its log, ended as a user would (WM_CLOSE).
class SipLinkProcess {
  public:
    ~SipLinkProcess() { Stop(); }
    bool Start(int controlPort, const std::string& logPath);
    void Stop();
    std::string Log() const { return test::ReadWholeFile(logPath); }
    // Until the log has a line "<ms> TAG TEXT".
    bool WaitForLog(const std::string& tag, const std::string& text, DWORD timeoutMs = Wait) const;

  private:
    test::Process process;
    std::string logPath;
};

class SipDesk : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    bool WaitForSkypeLight(bool on, DWORD timeoutMs = Wait);
    bool WaitForCallLight(bool on, DWORD timeoutMs = Wait);
    // Presses the keys and waits until the base has handed them all to the program.
    void Press(const std::string& keys);
    // Types the number after '#' and sends it with '#'; waits until the far end rings.
    void Dial(const std::string& number);
    // The far end answers the call ringing there; the handset's call light goes on.
    void FarAnswers();
    // Until the handset has had `count` release frames in all.
    bool WaitForRelease(uint32_t count, DWORD timeoutMs = Wait);
    static uint32_t Releases();
    std::string ShowLog() const { return "\nSipLink's log:\n" + sipLink.Log(); }

    AgentProcess nearAgent;
    AgentProcess farAgent;
    AgentClient farEnd;
    SipLinkProcess sipLink;
    test::Program program;
};

} // namespace sipcalls
