#pragma once
// The user agent SipLink runs itself for the user's account: it writes the agent's configuration into the
// user's application data folder (control port on loopback, on a free port chosen at each start), starts
// the agent, starts it again after a growing pause when it ends, gives it the account once connected, and
// keeps the registration's state. SipLink's shell connects to ControlPort() while Ready().
#include <winsock2.h>

#include <cstdint>
#include <functional>
#include <string>

#include "siplink/account/AccountStore.h"
#include "siplink/account/AgentLauncher.h"
#include "siplink/account/Registration.h"
#include "siplink/account/RestartPause.h"

// The folder of the agent's configuration, contacts and output in the user's application data folder
// (made when missing); "" when there is none.
std::string OwnAgentFolder();

class OwnAgent {
  public:
    // A command for the agent (command, params), sent in turn with the link's others.
    using Command = std::function<void(const std::string&, const std::string&)>;
    using Log = std::function<void(const std::string&, const std::string&)>;
    // Called when the registration's state has changed.
    using Changed = std::function<void()>;

    OwnAgent(Command command, Log log, Changed changed)
        : command(std::move(command)), log(std::move(log)), changed(std::move(changed)) {}

    // Loads the stored account and starts the agent when the account can be used.
    void Begin(uint32_t nowMs);
    // Every tick: tells the agent SipLink lives, starts it again when due, registers again when due.
    void Tick(uint32_t nowMs, bool connected);
    bool Ready() const { return launcher.Running(); }
    int ControlPort() const { return controlPort; }
    // The control connection is up: the account goes to the agent.
    void Connected(uint32_t nowMs);
    void RegisterEvent(const std::string& type, const std::string& param, uint32_t nowMs);
    // The stored account changed: the agent registers it anew (restarted only when its sound changed).
    void Reload(uint32_t nowMs, bool connected);
    // Ends the agent in order (it was sent "quit" when connected) and waits until it is gone.
    void End();

    bool Registered() const { return registration.Registered(); }
    const Registration& State() const { return registration; }
    // The registration's state in plain words, with the account.
    std::string Describe() const;
    // The account's address, user@domain.
    const std::string& Address() const { return settings.account.address; }

  private:
    bool StartAgent(uint32_t nowMs);
    void SendAccount(uint32_t nowMs);
    void StateChanged();

    Command command;
    Log log;
    Changed changed;
    StoredSettings settings;
    std::string folder; // the agent's configuration, Windows path
    AgentLauncher launcher;
    RestartPause pause;
    Registration registration;
    int controlPort = 0;
    bool wanted = false; // an account and an agent program are there: the agent should run
    uint32_t startedAt = 0;
    uint32_t restartAt = 0; // when the agent has ended: the next start
    bool ended = false;
    std::string told; // the last state logged
};
