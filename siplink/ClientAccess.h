#pragma once
// Which program may use SipLink: the one it was installed with (DectBridge.exe in SipLink's own folder)
// at once; any other only when the user allows it. A client attached is never replaced without the
// user's word, and a program the user turned away is not asked about again in this run.
// Plain C++: the window asks the user, this decides.
#include <cstdint>
#include <string>
#include <vector>

class ClientAccess {
  public:
    struct Client {
        std::string program; // the full path of its executable; "" when it cannot be told
        uintptr_t window = 0;
        unsigned long process = 0; // the id of the process that made the window
    };
    enum Decision {
        Attach, // attach it now
        Ask,    // ask the user; the answer comes through Answered
        Refuse, // refuse it
        Wait,   // a question is open, or it gave way to the client attached: no answer for now
    };

    explicit ClientAccess(std::string installedProgram) : installed(std::move(installedProgram)) {}

    // A discover; `attached` is the client attached now, nullptr when none is or its window is gone.
    Decision OnDiscover(const Client& asker, const Client* attached);
    // The user's answer about the open question's client. One that replaces another makes the other wait
    // until the new one is gone.
    void Answered(const Client& asker, bool allowed, const Client* attached);
    // The question went away unanswered (SipLink's window closed with it).
    void Dropped() { asking = false; }

  private:
    static bool Same(const std::string& a, const std::string& b);
    static bool Among(const std::vector<std::string>& programs, const std::string& program);

    std::string installed;
    std::vector<std::string> allowed, refused;
    std::vector<uintptr_t> yielded; // windows of clients the user replaced
    bool asking = false;
};
