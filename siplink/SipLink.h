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
#include "siplink/PresenceTold.h"
#include "siplink/SipCall.h"

class LinkOutput {
  public:
    virtual ~LinkOutput() = default;
    // A notification for the program, one line of text; answers false when no program is attached to
    // take it (it is then dropped).
    virtual bool Notify(const std::string& text) = 0;
    // One whole framed message for the agent.
    virtual void ToAgent(const std::string& frame) = 0;
    virtual void Log(const std::string& tag, const std::string& text) = 0;
    // A register event of the agent's account (REGISTERING, REGISTER_OK, REGISTER_FAIL, ...).
    virtual void Registration(const std::string& /*type*/, const std::string& /*param*/) {}
};

class SipLink {
  public:
    explicit SipLink(LinkOutput& output) : output(output) {}

    void AgentConnected();
    // The connection is gone: the calls end for the program (and at the agent once it is back).
    void AgentLost();
    void AgentBytes(const char* bytes, size_t count);
    // A program has attached: it is told every contact's current presence, now or once the list is
    // there, whatever an earlier program was told.
    void ClientAttached();
    // One command from the program; every command is answered.
    void Command(const std::string& text);
    // Asks the agent for its contacts again; presence changes found in the answer are notified.
    void PollPresence();
    // A command of SipLink's own for the agent (its account), sent in turn with the program's.
    void AgentCommand(const std::string& command, const std::string& params);

    bool Connected() const { return connected; }
    // A command went to the agent and its reply has not come.
    bool AwaitingReply() const { return !sentToken.empty(); }
    // The calls the program sees.
    std::vector<SipCall> ProgramCalls() const;

  private:
    // What the reply of a command is looked at for.
    enum class Purpose { Plain, Contacts, Dial, Find };
    struct Pending {
        std::string command;
        std::string params;
        Purpose purpose = Purpose::Plain;
        std::string callId; // Dial: our id of the call
        std::string then;   // Find: the command for the call once it is the agent's current one
        std::string thenParams;
    };

    void ToAgent(const Pending& command);
    // The agent's call commands act on its current call: callfind makes the call current, and the command
    // follows at once, before anything else can change the current call, and only if the agent found it.
    void ToCall(const std::string& agentId, const std::string& command, const std::string& params = "");
    void SendNext();
    void OnMessage(const std::string& json);
    void OnReply(const AgentMessage& reply);
    void OnFound(bool found);
    void OnDialled(bool ok);
    void OnEvent(const AgentMessage& event);
    SipCall* CallOfEvent(const AgentMessage& event);
    void OnCallEvent(SipCall& call, const AgentMessage& event);
    void OnIncoming(const AgentMessage& event);
    void OnContacts(const std::string& text);

    void Dial(const std::string& target);
    void SetCall(const std::vector<std::string>& words, const std::vector<std::string>& upper);
    void Finish(SipCall& call);
    void GetPartner(const std::string& id);
    // SEARCH FRIENDS and GET USER: answered once the contact list is there.
    void AnswerFromContacts(const std::string& command, const std::vector<std::string>& words);
    void RequestContacts();
    void ReportStatus(const std::string& handle, const std::string& status);
    void ReportEveryContact();

    SipCall* FindById(const std::string& id);
    SipCall* FindByAgentId(const std::string& agentId);
    bool LineBusy() const;
    void Notify(const std::string& callId, const std::string& status);
    // The program is told the call's end; the agent may still have it (Abandoned, Orphaned) or not.
    void EndForProgram(SipCall& call, const std::string& status, SipCall::State next);
    // The agent has it no more.
    void Gone(SipCall& call);
    void PruneEnded();

    LinkOutput& output;
    bool connected = false;
    NetstringReader reader;
    std::deque<Pending> pending; // waiting for the reply of the one in flight
    std::string sentToken;       // the command in flight; empty when none
    Pending sent;                // the command in flight
    unsigned nextToken = 1;

    // Every call the program sees, and those it has been told the end of (SipCall::State), oldest first.
    std::vector<SipCall> calls;
    unsigned nextCallId = 1;
    // Our id of a dialled call that is the agent's current one since its dial (nothing has made another
    // call current since): a bare hangup reaches it before the agent has named it.
    std::string dialledCurrent;

    ContactBook contacts;
    bool contactsAsked = false;       // a "contacts" command is queued or in flight
    bool reportAll = false;           // a program attached before the list came
    std::vector<std::string> waiting; // program queries waiting for the contact list
    PresenceTold told;
};
