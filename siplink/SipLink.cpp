#include "siplink/SipLink.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "siplink/Names.h"

namespace {

// Ended calls kept to answer late commands about them.
constexpr size_t EndedKept = 8;

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    while ((start = text.find_first_not_of(' ', start)) != std::string::npos) {
        size_t end = std::min(text.find(' ', start), text.size());
        words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

const char* StatusWord(SipCall::State state) {
    switch (state) {
    case SipCall::Dialling:
        return "ROUTING";
    case SipCall::Ringing:
        return "RINGING";
    case SipCall::InProgress:
        return "INPROGRESS";
    default:
        return "";
    }
}

bool IsTone(const std::string& word) {
    return word.size() == 1 && word[0] != '\0' && std::strchr("0123456789*#ABCDabcd", word[0]);
}

// The agent's answer to callfind when it made the call current; an unknown id is answered "call not
// found (id=...)", and with no call at all the command itself is unknown.
bool FoundCall(const AgentMessage& reply) {
    return reply.ok && reply.data.rfind("setting current call", 0) == 0;
}

// Events by which the agent names a call it placed.
bool NamesDialledCall(const std::string& type) {
    return type == "CALL_RINGING" || type == "CALL_PROGRESS" || type == "CALL_ESTABLISHED" ||
           type == "CALL_CLOSED";
}

} // namespace

void SipLink::AgentConnected() {
    connected = true;
    reader.Clear();
    pending.clear();
    sentToken.clear();
    dialledCurrent.clear();
    contacts.Forget();
    contactsAsked = false;
    RequestContacts();
    // Only a call the agent still knows is hung up: a bare hangup would end whatever call is current.
    for (const SipCall& call : calls)
        if (call.state == SipCall::Orphaned)
            ToCall(call.agentId, "hangup");
}

void SipLink::AgentLost() {
    if (!connected)
        return;
    connected = false;
    for (SipCall& call : calls) {
        if (ForProgram(call))
            EndForProgram(call, LostStatus(call), call.agentId.empty() ? SipCall::Ended : SipCall::Orphaned);
        else if (call.state == SipCall::Abandoned)
            call.state = call.agentId.empty() ? SipCall::Ended : SipCall::Orphaned;
    }
    PruneEnded();
    pending.clear();
    sentToken.clear();
    dialledCurrent.clear();
    contactsAsked = false;
    reportAll = false;
    waiting.clear();
    contacts.Forget();
    // What Skype says when its user goes away: the program asks again and so finds the link gone.
    output.Notify("USERSTATUS LOGGEDOUT");
}

void SipLink::AgentBytes(const char* bytes, size_t count) {
    reader.Append(bytes, count);
    std::string message, skipped;
    while (reader.Next(message, skipped)) {
        if (!skipped.empty())
            output.Log("SKIP", "broken framing: " + skipped);
        skipped.clear();
        OnMessage(message);
    }
    if (!skipped.empty())
        output.Log("SKIP", "broken framing: " + skipped);
}

void SipLink::ClientAttached() {
    // What an earlier program was told says nothing about what this one knows.
    told.Clear();
    if (contacts.Known())
        ReportEveryContact();
    else
        reportAll = true;
}

void SipLink::Command(const std::string& text) {
    std::vector<std::string> words = SplitWords(text);
    std::vector<std::string> upper;
    for (const std::string& word : words)
        upper.push_back(Upper(word));
    size_t count = words.size();
    if (count == 2 && upper[0] == "CALL")
        Dial(words[1]);
    else if (count == 5 && upper[0] == "SET" && upper[1] == "CALL")
        SetCall(words, upper);
    else if (count == 4 && upper[0] == "GET" && upper[1] == "CALL" && upper[3] == "PARTNER_HANDLE")
        GetPartner(words[2]);
    else if ((count == 2 && upper[0] == "SEARCH" && upper[1] == "FRIENDS") ||
             (count == 4 && upper[0] == "GET" && upper[1] == "USER" && upper[3] == "ONLINESTATUS"))
        AnswerFromContacts(text, words);
    else if (count == 2 && upper[0] == "GET" && upper[1] == "USERSTATUS")
        output.Notify("USERSTATUS ONLINE");
    else
        output.Notify("ERROR 2 Unknown command");
    PruneEnded();
}

void SipLink::PollPresence() {
    if (connected)
        RequestContacts();
}

std::vector<SipCall> SipLink::ProgramCalls() const {
    std::vector<SipCall> seen;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(seen), ForProgram);
    return seen;
}

void SipLink::AgentCommand(const std::string& command, const std::string& params) {
    if (connected)
        ToAgent({command, params, Purpose::Plain, "", "", ""});
}

void SipLink::ToAgent(const Pending& command) {
    pending.push_back(command);
    SendNext();
}

void SipLink::ToCall(const std::string& agentId, const std::string& command, const std::string& params) {
    Pending find;
    find.command = "callfind";
    find.params = agentId;
    find.purpose = Purpose::Find;
    find.then = command;
    find.thenParams = params;
    ToAgent(find);
}

// One command at a time: the agent mis-reads a read that holds more than one message.
void SipLink::SendNext() {
    if (!connected || !sentToken.empty() || pending.empty())
        return;
    sent = pending.front();
    pending.pop_front();
    sentToken = std::to_string(nextToken++);
    if (sent.purpose == Purpose::Find || sent.command == "hangup")
        dialledCurrent.clear();
    output.ToAgent(EncodeNetstring(AgentCommandJson(sent.command, sent.params, sentToken)));
}

void SipLink::OnMessage(const std::string& json) {
    AgentMessage message;
    if (!ParseAgentMessage(json, message)) {
        output.Log("SKIP", "not a reply or event: " + json);
        return;
    }
    if (message.kind == AgentMessage::Reply)
        OnReply(message);
    else
        OnEvent(message);
    PruneEnded();
}

void SipLink::OnReply(const AgentMessage& reply) {
    if (reply.token != sentToken) {
        output.Log("SKIP", "reply to no command in flight: " + reply.token);
        return;
    }
    sentToken.clear();
    if (!reply.ok)
        output.Log("AGENT-ERROR", sent.command + " " + sent.params + ": " + reply.data);
    switch (sent.purpose) {
    case Purpose::Contacts:
        contactsAsked = false;
        // An agent that cannot list contacts has none: the program's queries are still answered.
        OnContacts(reply.ok ? reply.data : "");
        break;
    case Purpose::Dial:
        OnDialled(reply.ok);
        break;
    case Purpose::Find:
        if (!FoundCall(reply))
            output.Log("NOT-FOUND", sent.params + ": " + sent.then + " not sent");
        OnFound(FoundCall(reply));
        break;
    case Purpose::Plain:
        break;
    }
    SendNext();
}

void SipLink::OnFound(bool found) {
    SipCall* call = FindByAgentId(sent.params);
    if (found) {
        // Next, before anything queued meanwhile.
        pending.push_front({sent.then, sent.thenParams, Purpose::Plain, "", "", ""});
        // A call the program no longer sees is done with once hung up; its close finds it ended.
        if (call && !ForProgram(*call) && sent.then == "hangup")
            Gone(*call);
        return;
    }
    // The agent no longer has the call: it has ended there, whatever it was to be told.
    if (call && ForProgram(*call))
        EndForProgram(*call, ClosedStatus(*call, ""), SipCall::Ended);
    else if (call)
        Gone(*call);
}

void SipLink::OnDialled(bool ok) {
    SipCall* call = FindById(sent.callId);
    if (!call || !call->agentId.empty())
        return;
    if (!ok) {
        if (ForProgram(*call))
            EndForProgram(*call, "FAILED", SipCall::Ended);
        else
            Gone(*call);
        return;
    }
    dialledCurrent = call->id;
    // Ended for the program while the dial was on its way: the agent's current call is this one.
    if (call->state == SipCall::Abandoned && !call->endAsked) {
        call->endAsked = true;
        pending.push_front({"hangup", "", Purpose::Plain, "", "", ""});
    }
}

void SipLink::OnEvent(const AgentMessage& event) {
    if (event.type == "CALL_INCOMING") {
        // A new call is the agent's current one.
        dialledCurrent.clear();
        OnIncoming(event);
        return;
    }
    if (event.type.find("REGISTER") != std::string::npos) {
        output.Registration(event.type, event.param);
        return;
    }
    if (event.id.empty()) {
        // The agent says where it places a dialled call before it names it.
        SipCall* dialled =
            sent.purpose == Purpose::Dial && !sentToken.empty() ? FindById(sent.callId) : nullptr;
        if (dialled && dialled->agentId.empty() && event.direction == "outgoing" && dialled->peerUri.empty())
            dialled->peerUri = event.peerUri;
        return;
    }
    if (SipCall* call = CallOfEvent(event))
        OnCallEvent(*call, event);
}

// The call an event is about: one whose agent id it is, or else the oldest dialled call the agent has
// not named yet, when its dial has gone and the event comes from where the agent placed it.
SipCall* SipLink::CallOfEvent(const AgentMessage& event) {
    if (SipCall* call = FindByAgentId(event.id))
        return call;
    if (event.direction != "outgoing" || !NamesDialledCall(event.type))
        return nullptr;
    for (SipCall& call : calls) {
        bool waitsForName = call.outgoing && call.agentId.empty() &&
                            (call.state == SipCall::Dialling || call.state == SipCall::Abandoned);
        bool dialGone = std::none_of(pending.begin(), pending.end(), [&](const Pending& command) {
            return command.purpose == Purpose::Dial && command.callId == call.id;
        });
        bool placed = call.peerUri.empty() || SameAddress(call.peerUri, event.peerUri);
        if (waitsForName && dialGone && placed) {
            call.agentId = event.id;
            return &call;
        }
    }
    return nullptr;
}

void SipLink::OnCallEvent(SipCall& call, const AgentMessage& event) {
    bool closed = event.type == "CALL_CLOSED";
    switch (call.state) {
    case SipCall::Abandoned:
        if (closed)
            Gone(call);
        else if (!call.endAsked) {
            call.endAsked = true;
            ToCall(call.agentId, "hangup");
        }
        return;
    case SipCall::Orphaned:
        if (closed)
            Gone(call);
        return;
    case SipCall::Ended:
        return;
    default:
        break;
    }
    if (closed) {
        EndForProgram(call, ClosedStatus(call, event.param), SipCall::Ended);
        output.Log("CALL-END", call.id + " " + call.endStatus + ": " + EndReason(event.param));
    } else if (event.type == "CALL_RINGING" || event.type == "CALL_PROGRESS") {
        if (call.state == SipCall::Dialling) {
            call.state = SipCall::Ringing;
            Notify(call.id, "RINGING");
        }
    } else if (event.type == "CALL_ESTABLISHED") {
        if (call.state != SipCall::InProgress) {
            call.state = SipCall::InProgress;
            Notify(call.id, "INPROGRESS");
        }
    }
}

void SipLink::OnIncoming(const AgentMessage& event) {
    if (event.id.empty() || FindByAgentId(event.id))
        return;
    SipCall call;
    call.agentId = event.id;
    if (LineBusy()) {
        // One call at a time reaches the handset; the caller hears busy (486). The program never hears
        // of it: it is ended for the program from the start.
        output.Log("BUSY", event.peerUri);
        call.state = SipCall::Abandoned;
        call.endAsked = true;
        calls.push_back(call);
        ToCall(event.id, "hangup");
        return;
    }
    call.id = std::to_string(nextCallId++);
    call.state = SipCall::Ringing;
    const Contact* contact = contacts.ByAddress(event.peerUri);
    call.partner = PartyName(event.peerName, contact ? contact->name : "", event.peerUri);
    calls.push_back(call);
    Notify(call.id, "RINGING");
}

void SipLink::OnContacts(const std::string& text) {
    contacts.Replace(ParseContactList(text));
    if (reportAll) {
        ReportEveryContact();
    } else {
        for (const auto& [handle, now] : told.Changes(contacts))
            ReportStatus(handle, now);
    }
    std::vector<std::string> queries;
    queries.swap(waiting);
    for (const std::string& query : queries)
        Command(query);
}

void SipLink::Dial(const std::string& target) {
    SipCall call;
    call.id = std::to_string(nextCallId++);
    call.outgoing = true;
    if (LineBusy()) {
        // The line is busy with another call: this one fails at once, as on a telephone.
        Notify(call.id, "ROUTING");
        calls.push_back(call);
        EndForProgram(calls.back(), "FAILED", SipCall::Ended);
        return;
    }
    // No handle is a dial string (MakeHandles): a number typed on the keypad is dialled as it is, even
    // when a contact has that name.
    const Contact* contact = contacts.ByHandle(target);
    std::string address = contact ? contact->address : target;
    call.partner = contact
                       ? contact->name
                       : PartyName("", "", address.find('@') == std::string::npos ? address + "@" : address);
    calls.push_back(call);
    Notify(call.id, "ROUTING");
    ToAgent({"dial", address, Purpose::Dial, call.id, "", ""});
}

void SipLink::SetCall(const std::vector<std::string>& words, const std::vector<std::string>& upper) {
    const std::string& id = words[2];
    SipCall* call = FindById(id);
    if (!call) {
        output.Notify("ERROR 11 Invalid call id");
        return;
    }
    if (!ForProgram(*call)) {
        // A late command for a call that has just ended gets its end again, which the program ignores.
        output.Notify("CALL " + id + " STATUS " + call->endStatus);
        return;
    }
    if (upper[3] == "STATUS" && upper[4] == "INPROGRESS") {
        if (!call->outgoing && call->state == SipCall::Ringing)
            ToCall(call->agentId, "accept");
        else
            Notify(id, StatusWord(call->state));
    } else if (upper[3] == "STATUS" && upper[4] == "FINISHED") {
        Finish(*call);
    } else if (upper[3] == "DTMF" && IsTone(words[4]) && call->state == SipCall::InProgress) {
        ToCall(call->agentId, "sndcode", upper[4]);
    } else if (upper[3] == "STATUS" || upper[3] == "DTMF") {
        output.Notify("ERROR 12 Invalid call property");
    } else {
        output.Notify("ERROR 2 Unknown command");
    }
}

// The program's end of a call. A call the agent has named is hung up there, and its close tells the
// program. A dialled call the agent has not named yet ends for the program at once, so that the line is
// free; at the agent it is hung up as soon as it can be reached without touching another call.
void SipLink::Finish(SipCall& call) {
    if (!call.agentId.empty()) {
        call.endAsked = true;
        ToCall(call.agentId, "hangup");
        return;
    }
    auto dial = std::find_if(pending.begin(), pending.end(), [&](const Pending& command) {
        return command.purpose == Purpose::Dial && command.callId == call.id;
    });
    if (dial != pending.end()) {
        pending.erase(dial);
        EndForProgram(call, "FINISHED", SipCall::Ended);
        return;
    }
    // Once hung up (endAsked), its next events only end the record.
    bool current = dialledCurrent == call.id;
    call.endAsked = current;
    EndForProgram(call, "FINISHED", SipCall::Abandoned);
    if (current)
        ToAgent({"hangup", "", Purpose::Plain, "", "", ""});
}

void SipLink::GetPartner(const std::string& id) {
    const SipCall* call = FindById(id);
    output.Notify(call ? "CALL " + id + " PARTNER_HANDLE " + call->partner : "ERROR 11 Invalid call id");
}

void SipLink::AnswerFromContacts(const std::string& command, const std::vector<std::string>& words) {
    if (!contacts.Known()) {
        waiting.push_back(command);
        RequestContacts();
        return;
    }
    if (words.size() == 2) {
        std::string list = "USERS";
        for (const Contact& contact : contacts.All())
            list += (list.size() == 5 ? " " : ", ") + contact.handle;
        output.Notify(list);
        return;
    }
    const Contact* contact = contacts.ByHandle(words[2]);
    ReportStatus(words[2], contact ? contact->presence : "UNKNOWN");
}

void SipLink::RequestContacts() {
    if (contactsAsked)
        return;
    contactsAsked = true;
    ToAgent({"contacts", "", Purpose::Contacts, "", "", ""});
}

// Counted as told only once it went to a program: a status dropped for want of one is told again.
void SipLink::ReportStatus(const std::string& handle, const std::string& status) {
    if (output.Notify("USER " + handle + " ONLINESTATUS " + status))
        told.Told(handle, status, contacts);
}

void SipLink::ReportEveryContact() {
    reportAll = false;
    for (const Contact& contact : contacts.All())
        ReportStatus(contact.handle, contact.presence);
}

SipCall* SipLink::FindById(const std::string& id) {
    auto found = std::find_if(calls.begin(), calls.end(),
                              [&](const SipCall& call) { return !id.empty() && call.id == id; });
    return found == calls.end() ? nullptr : &*found;
}

SipCall* SipLink::FindByAgentId(const std::string& agentId) {
    auto found = std::find_if(calls.begin(), calls.end(), [&](const SipCall& call) {
        return !agentId.empty() && call.agentId == agentId;
    });
    return found == calls.end() ? nullptr : &*found;
}

bool SipLink::LineBusy() const {
    return std::any_of(calls.begin(), calls.end(), ForProgram);
}

void SipLink::Notify(const std::string& callId, const std::string& status) {
    output.Notify("CALL " + callId + " STATUS " + status);
}

void SipLink::EndForProgram(SipCall& call, const std::string& status, SipCall::State next) {
    call.state = next;
    call.endStatus = status;
    Notify(call.id, status);
}

void SipLink::Gone(SipCall& call) {
    call.state = SipCall::Ended;
}

// Ended calls beyond the few kept go, the oldest first; the calls the program sees and those the agent
// may still have stay. Run between messages only: it moves the records.
void SipLink::PruneEnded() {
    size_t ended = std::count_if(calls.begin(), calls.end(),
                                 [](const SipCall& call) { return call.state == SipCall::Ended; });
    for (auto call = calls.begin(); ended > EndedKept && call != calls.end();) {
        if (call->state == SipCall::Ended) {
            call = calls.erase(call);
            --ended;
        } else {
            ++call;
        }
    }
}
