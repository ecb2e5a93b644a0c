#pragma once
// A desk with a SIP line: the real DectBridge.exe over the simulated base, SipLink.exe in Skype's place,
// and two real user agents on loopback: the near one that SipLink drives and the far one that the test
// drives as the other party.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "sim/control/HandsetControl.h"
#include "tools/sip/agent/AgentClient.h"
#include "tools/sip/agent/AgentProcess.h"
#include "tests/common/Program.h"

namespace sipcalls {

// Generous: on a loaded machine a step through the simulated base and the program can take seconds.
constexpr DWORD Wait = 10000;
// This test program's ports (other programs use other ranges) and the far end's time-out for a call
// nobody answers (the caller then hears busy).
constexpr int FarAnswerTimeoutS = 3;
const AgentPair Agents = LoopbackAgents(test::TestPort(35000), FarAnswerTimeoutS);

// SipLink.exe as a test runs it: started with its log, ended as a user would (WM_CLOSE).
class SipLinkProcess {
  public:
    ~SipLinkProcess() { Stop(); }
    bool Start(int controlPort, const std::string& logPath);
    // SipLink with the stored account.
    bool StartOwnAgent(const std::string& logPath);
    void Stop();
    std::string Log() const { return test::ReadWholeFile(logPath); }
    // Until the log has a line "<ms> TAG TEXT".
    bool WaitForLog(const std::string& tag, const std::string& text, DWORD timeoutMs = Wait) const;

    DWORD Id() { return process.Id(); }
    // Waits for SipLink's end (by its own choice); answers its exit code, or STILL_ACTIVE.
    DWORD WaitForEnd(DWORD timeoutMs) { return process.Wait(timeoutMs); }

  private:
    bool Launch(const std::string& arguments, const std::string& logPath);

    test::Process process;
    std::string logPath;
};

class SipDesk : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    bool WaitForSkypeLight(bool on, DWORD timeoutMs = Wait);
    bool WaitForCallLight(bool on, DWORD timeoutMs = Wait);
    // Presses the keys, each once the base has handed the one before to the program.
    void Press(const std::string& keys);
    // Types the number after '#' and sends it with '#'; waits until the far end rings.
    void Dial(const std::string& number);
    // Chooses the first contact, bob, on the handset and calls it.
    void CallBob();
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
    AgentConfig nearConfig = Agents.nearEnd;
    AgentConfig farConfig = Agents.farEnd;
    const char* showOnlineOnly = "0";

    AgentProcess nearAgent;
    AgentProcess farAgent;
    AgentClient farEnd;
    SipLinkProcess sipLink;
    test::Program program;
    int callsEnded = 0;
};

} // namespace sipcalls
