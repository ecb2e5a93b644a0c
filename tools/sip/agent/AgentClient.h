#pragma once
// A control connection to a user agent, for a program that drives the agent step by step (a test, a
// benchmark): blocking, one command at a time, every event kept in order of arrival.
#include <winsock2.h>

#include <string>
#include <vector>

#include "tools/sip/agent/AgentMessage.h"
#include "tools/sip/agent/Netstring.h"

class AgentClient {
  public:
    AgentClient();
    ~AgentClient();
    AgentClient(const AgentClient&) = delete;
    AgentClient& operator=(const AgentClient&) = delete;

    // Connects, trying again until the agent listens or the time is up.
    bool Connect(int port, DWORD timeoutMs = 5000);
    void Close();
    // Sends one command and waits for its reply; answers the reply's data, or false when none came.
    bool Command(const std::string& command, const std::string& params = "", std::string* data = nullptr,
                 DWORD timeoutMs = 5000);
    // Waits for an event of this type that no earlier wait took; gives it in `event` when asked.
    bool WaitForEvent(const std::string& type, DWORD timeoutMs = 5000, AgentMessage* event = nullptr);
    // The events of this type ("": of every type) so far, taken or not.
    std::vector<AgentMessage> Events(const std::string& type) const;
    // Reads what arrives within the time; false when the connection is gone.
    bool Receive(DWORD timeoutMs);
    // Until the agent says its account is registered at its registrar.
    bool WaitUntilRegistered(DWORD timeoutMs);

  private:
    SOCKET socket = INVALID_SOCKET;
    NetstringReader reader;
    std::vector<AgentMessage> events;
    std::vector<bool> taken;
    std::vector<AgentMessage> replies;
    unsigned nextToken = 1;
};
