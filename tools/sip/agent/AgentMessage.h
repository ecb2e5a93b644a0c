#pragma once
// The user agent's control messages: the commands we send, and the replies and events it sends.
#include <string>

struct AgentMessage {
    enum Kind { Reply, Event } kind = Reply;
    // Reply
    std::string token;
    bool ok = false;
    std::string data;
    // Event
    std::string type;      // CALL_INCOMING, CALL_RINGING, ...
    std::string id;        // the agent's call id; empty for events of no call
    std::string direction; // "incoming" or "outgoing"
    std::string peerUri;
    std::string peerName; // the display name the other side sent, when it sent one
    std::string param;
};

// Answers false when the text is not a reply or an event (broken JSON, neither flag set, a reply
// without its token).
bool ParseAgentMessage(const std::string& json, AgentMessage& message);

// One command as its JSON object; `params` is left out when empty.
std::string AgentCommandJson(const std::string& command, const std::string& params, const std::string& token);
