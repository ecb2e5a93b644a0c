#pragma once
// The link between the program's Skype commands and a SIP user agent's control connection: it keeps the
// calls (our ids tied to the agent's), the agent's contacts and their presence, and the one command that
// may be on its way to the agent. It knows no window and no socket: its owner feeds it and carries out
// what it asks through LinkOutput.
#include <deque>
#include <string>
#include <vector>

#include "siplink/AgentMessage.h"
#include "siplink/Contacts.h"
#include "siplink/Netstring.h"
#include "siplink/SipCall.h"

class LinkOutput {
  public:
    virtual ~LinkOutput() = default;
    // A notification for the program, one line of text.
    virtual void Notify(const std::string& text) = 0;
    // One whole framed message for the agent.
    virtual void ToAgent(const std::string& frame) = 0;
    virtual void Log(const std::string& tag, const std::string& text) = 0;
};

class SipLink {
  public:
    explicit SipLink(LinkOutput& output) : output(output) {}

    void AgentConnected();
    // The connection is gone: the calls end for the program (and at the agent once it is back).
    void AgentLost();
    void AgentBytes(const char* bytes, size_t count);
    // One command from the program; every command is answered.
    void Command(const std::string& text);
    // Asks the agent for its contacts again; presence changes found in the answer are notified.
    void PollPresence();

    bool Connected() const { return connected; }
    // A command went to the agent and its reply has not come.
    bool AwaitingReply() const { return !sentToken.empty(); }
    const std::vector<SipCall>& Calls() const { return calls; }

  private:
    // What the reply of a command is looked at for.
    enum class Purpose { Plain, Contacts, Dial, Orphan };
    struct Pending {
        std::string command;
        std::string params;
        Purpose purpose;
        std::string callId; // Dial: our id of the call
    };

    void ToAgent(const Pending& command);
    // callfind first: the agent's call commands act on its current call.
    void ToCall(const std::string& agentId, const std::string& command, const std::string& params = "");
    void SendNext();
    void OnMessage(const std::string& json);
    void OnReply(const AgentMessage& reply);
    void OnEvent(const AgentMessage& event);
    void OnIncoming(const AgentMessage& event);
    void OnContacts(const std::string& text);

    void Dial(const std::string& target);
    void SetCall(const std::vector<std::string>& words, const std::vector<std::string>& upper);
    void GetPartner(const std::string& id);
    // SEARCH FRIENDS and GET USER: answered once the contact list is there.
    void AnswerFromContacts(const std::string& command, const std::vector<std::string>& words);
    void RequestContacts();
    void ReportStatus(const std::string& handle, const std::string& status);

    SipCall* FindById(const std::string& id);
    SipCall* FindByAgentId(const std::string& agentId);
    void Notify(const std::string& callId, const std::string& status);
    void End(const std::string& id, const std::string& status);
    // One of the last few calls that have ended (with its last status), nullptr when none.
    const std::pair<SipCall, std::string>* Ended(const std::string& id) const;

    LinkOutput& output;
    bool connected = false;
    NetstringReader reader;
    std::deque<Pending> pending; // waiting for the reply of the one in flight
    std::string sentToken;       // the command in flight; empty when none
    Pending sent;                // the command in flight
    unsigned nextToken = 1;

    std::vector<SipCall> calls; // at most one rung through; a dialled call without agent id yet
    // Agent ids of calls that ended for the program when the connection dropped: if the agent lived on,
    // they are hung up there once connected again.
    std::vector<std::string> orphans;
    std::deque<std::pair<SipCall, std::string>> ended; // recent calls and their last status
    unsigned nextCallId = 1;

    ContactBook contacts;
    bool contactsAsked = false;                            // a "contacts" command is queued or in flight
    std::vector<std::string> waiting;                      // program queries waiting for the contact list
    std::vector<std::pair<std::string, std::string>> told; // handle, the presence the program was told
};
