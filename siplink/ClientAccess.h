#pragma once
// Which program may use SipLink: the one it was installed with (DectBridge.exe in SipLink's own folder)
// at once; any other only when the user allows it. A program attached is never replaced without the
// user's word, and a program the user turned away is not asked about again in this run.
// Programs are named by their executable's full path. Plain C++: the window asks, this decides.
#include <string>
#include <vector>

class ClientAccess {
  public:
    enum Decision {
        Attach, // attach it now
        Ask,    // ask the user; the answer comes through Answered
        Refuse, // refuse it
        Wait,   // a question is open, or it gave way to the program attached: no answer for now
    };

    explicit ClientAccess(std::string installedProgram) : installed(std::move(installedProgram)) {}

    // A discover from a program. `attached` is the program attached now ("" when none, or when its
    // window is gone); `sameWindow` tells that the discover comes from the attached window itself.
    Decision OnDiscover(const std::string& program, const std::string& attached, bool sameWindow);
    // The user's answer about the program of the open question; `attached` as for OnDiscover. An allowed
    // program that replaces another makes the other wait until the new one is gone.
    void Answered(const std::string& program, bool allowed, const std::string& attached);
    // The question went away without an answer (its program's window is gone).
    void Dropped() { asking = false; }

  private:
    static bool Same(const std::string& a, const std::string& b);
    static bool Among(const std::vector<std::string>& programs, const std::string& program);

    std::string installed;
    std::vector<std::string> allowed, refused, yielded;
    bool asking = false;
};
