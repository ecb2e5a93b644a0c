#pragma once
// A Unix script beside the programs, run under Wine for the tests, the benchmark and ./dev sip:
//   SCRIPT DIR WATCH_PID ARGUMENTS...
// DIR (a folder of its own under the build's bin folder) gets the script's files; the script writes
// DIR/pid while what it runs is there, ends it when DIR/stop (in order) or DIR/kill (at once) appears or
// when the process WATCH_PID ends; a script whose run may end by itself writes its exit code to DIR/rc.
// WATCH_PID is the Unix process that opens files for the program that started it: under Wine the Wine server,
// so nothing outlives the Wine session.
#include <windows.h>

#include <string>
#include <vector>

class ScriptProcess {
  public:
    ScriptProcess() = default;
    ~ScriptProcess() { Stop(); }
    ScriptProcess(const ScriptProcess&) = delete;
    ScriptProcess& operator=(const ScriptProcess&) = delete;

    // Starts `script` (a file in the bin folder) on bin\<folder>; answers whether it ran (or ended) within
    // 5 s. A run
    // left in the same folder by a program that ended without stopping it is ended first.
    bool Start(const std::string& script, const std::string& folder,
               const std::vector<std::string>& arguments);
    // Asks for the orderly end without waiting.
    void AskToStop() { Flag("stop"); }
    // Ends it in order and waits until it is gone.
    void Stop() { EndWith("stop"); }
    // Kills it at once and waits until it is gone.
    void Kill() { EndWith("kill"); }
    bool Running() const;
    // Waits up to timeoutMs for the run to end by itself; answers whether it did.
    bool WaitForEnd(DWORD timeoutMs) const;
    // The Windows path of a file in the run's folder.
    std::string Path(const char* file) const;

  private:
    void Flag(const char* file);
    void EndWith(const char* flagFile);

    std::string folder; // Windows path
};

// The build's bin folder, where the programs and the scripts lie.
std::string BinFolder();
