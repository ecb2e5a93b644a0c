#pragma once
// Runs the user agent program on a configuration folder and ends it. The program is either a Windows
// baresip.exe, run in a job object so that it ends with SipLink however SipLink ends, or a script that
// runs a Unix baresip under Wine (baresip.sh beside SipLink.exe): Wine gives no handle of a Unix
// process, so the script writes the agent's pid file while it runs and ends the agent when SipLink stops
// touching the folder's "alive" file (SipLink ended, however) or when the "stop" file appears.
#include <windows.h>

#include <string>

class AgentLauncher {
  public:
    AgentLauncher() = default;
    ~AgentLauncher() { Stop(0); }
    AgentLauncher(const AgentLauncher&) = delete;
    AgentLauncher& operator=(const AgentLauncher&) = delete;

    // The agent program: `configured` when given, else baresip.exe beside SipLink.exe, else baresip.sh
    // beside it. Empty when none of them is there.
    static std::string Find(const std::string& configured);
    // Where the agent's modules are and how their files end, for the program found.
    static std::string ModulePath(const std::string& program);
    static std::string ModuleSuffix(const std::string& program);

    // Starts the program on the folder's configuration (a Windows path); false when it could not start.
    bool Start(const std::string& program, const std::string& folder);
    bool Running() const;
    // Tells the script that SipLink lives; called at least every second while the agent runs.
    void Beat();
    // Waits up to graceMs for the agent to end (it was asked to quit), then ends it and waits for that.
    void Stop(DWORD graceMs);

  private:
    bool IsScript() const;
    std::string Path(const char* file) const;
    void Touch(const char* file) const;
    bool WaitForEnd(DWORD timeoutMs) const;

    std::string program;
    std::string folder;
    HANDLE process = nullptr; // baresip.exe
    HANDLE job = nullptr;
};
