#include "siplink/SipLink.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

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
    }
    return "";
}

bool IsTone(const std::string& word) {
    return word.size() == 1 && word[0] != '\0' && std::strchr("0123456789*#ABCDabcd", word[0]);
}

} // namespace

void SipLink::AgentConnected() {
    connected = true;
    reader.Clear();
    pending.clear();
    sentToken.clear();
    contacts.Forget();
    contactsAsked = false;
    RequestContacts();
    // Only a call the agent still knows is hung up: a bare hangup would end whatever call is current.
    for (const std::string& agentId : orphans)
        ToAgent({"callfind", agentId, Purpose::Orphan, ""});
    orphans.clear();
}

void SipLink::AgentLost() {
    if (!connected)
        return;
    connected = false;
    for (const SipCall& call : calls)
        if (!call.agentId.empty())
            orphans.push_back(call.agentId);
    while (!calls.empty())
        End(calls.front().id, LostStatus(calls.front()));
    pending.clear();
    sentToken.clear();
    contactsAsked = false;
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
}

void SipLink::PollPresence() {
    if (connected)
        RequestContacts();
}

void SipLink::ToAgent(const Pending& command) {
    pending.push_back(command);
    SendNext();
}

void SipLink::ToCall(const std::string& agentId, const std::string& command, const std::string& params) {
    ToAgent({"callfind", agentId, Purpose::Plain, ""});
    ToAgent({command, params, Purpose::Plain, ""});
}

// One command at a time: the agent mis-reads a read that holds more than one message.
void SipLink::SendNext() {
    if (!connected || !sentToken.empty() || pending.empty())
        return;
    sent = pending.front();
    pending.pop_front();
    sentToken = std::to_string(nextToken++);
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
    case Purpose::Dial: {
        SipCall* call = FindById(sent.callId);
        if (!reply.ok && call && call->agentId.empty())
            End(call->id, "FAILED");
        break;
    }
    case Purpose::Orphan:
        if (reply.ok && reply.data.find(sent.params) != std::string::npos)
            ToAgent({"hangup", "", Purpose::Plain, ""});
        break;
    case Purpose::Plain:
        break;
    }
    SendNext();
}

void SipLink::OnEvent(const AgentMessage& event) {
    if (event.type == "CALL_INCOMING") {
        OnIncoming(event);
        return;
    }
    if (event.id.empty())
        return;
    SipCall* call = FindByAgentId(event.id);
    if (!call && event.direction == "outgoing") {
        // The agent names a dialled call only in its first event about it.
        auto dialled = std::find_if(calls.begin(), calls.end(),
                                    [](const SipCall& c) { return c.outgoing && c.agentId.empty(); });
        if (dialled != calls.end()) {
            call = &*dialled;
            call->agentId = event.id;
            if (call->endAsked && event.type != "CALL_CLOSED")
                ToCall(call->agentId, "hangup");
        }
    }
    if (!call)
        return;
    if (event.type == "CALL_RINGING" || event.type == "CALL_PROGRESS") {
        if (call->state == SipCall::Dialling) {
            call->state = SipCall::Ringing;
            Notify(call->id, "RINGING");
        }
    } else if (event.type == "CALL_ESTABLISHED") {
        if (call->state != SipCall::InProgress) {
            call->state = SipCall::InProgress;
            Notify(call->id, "INPROGRESS");
        }
    } else if (event.type == "CALL_CLOSED") {
        End(call->id, ClosedStatus(*call, event.param));
    }
}

void SipLink::OnIncoming(const AgentMessage& event) {
    if (event.id.empty() || FindByAgentId(event.id))
        return;
    if (!calls.empty()) {
        // One call at a time reaches the handset; the caller hears busy (486).
        output.Log("BUSY", event.peerUri);
        ToCall(event.id, "hangup");
        return;
    }
    SipCall call;
    call.id = std::to_string(nextCallId++);
    call.agentId = event.id;
    call.state = SipCall::Ringing;
    call.partner = contacts.HandleFor(event.peerUri);
    calls.push_back(call);
    Notify(call.id, "RINGING");
}

void SipLink::OnContacts(const std::string& text) {
    contacts.Replace(ParseContactList(text));
    for (auto& [handle, status] : told) {
        const Contact* contact = contacts.ByHandle(handle);
        std::string now = contact ? contact->presence : "UNKNOWN";
        if (now != status)
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
    if (!calls.empty()) {
        // The line is busy with another call: this one fails at once, as on a telephone.
        Notify(call.id, "ROUTING");
        calls.push_back(call);
        End(call.id, "FAILED");
        return;
    }
    const Contact* contact = contacts.ByHandle(target);
    std::string address = contact ? contact->address : target;
    call.partner = contact ? contact->handle : contacts.HandleFor(address);
    calls.push_back(call);
    Notify(call.id, "ROUTING");
    ToAgent({"dial", address, Purpose::Dial, call.id});
}

void SipLink::SetCall(const std::vector<std::string>& words, const std::vector<std::string>& upper) {
    const std::string& id = words[2];
    SipCall* call = FindById(id);
    if (!call) {
        // A late command for a call that has just ended gets its end again, which the program ignores.
        const auto* ended = Ended(id);
        output.Notify(ended ? "CALL " + id + " STATUS " + ended->second : "ERROR 11 Invalid call id");
        return;
    }
    if (upper[3] == "STATUS" && upper[4] == "INPROGRESS") {
        if (!call->outgoing && call->state == SipCall::Ringing)
            ToCall(call->agentId, "accept");
        else
            Notify(id, StatusWord(call->state));
    } else if (upper[3] == "STATUS" && upper[4] == "FINISHED") {
        call->endAsked = true;
        if (!call->agentId.empty())
            ToCall(call->agentId, "hangup");
    } else if (upper[3] == "DTMF" && IsTone(words[4]) && call->state == SipCall::InProgress) {
        ToCall(call->agentId, "sndcode", upper[4]);
    } else if (upper[3] == "STATUS" || upper[3] == "DTMF") {
        output.Notify("ERROR 12 Invalid call property");
    } else {
        output.Notify("ERROR 2 Unknown command");
    }
}

void SipLink::GetPartner(const std::string& id) {
    const SipCall* call = FindById(id);
    const auto* ended = Ended(id);
    if (!call && ended)
        call = &ended->first;
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
    ToAgent({"contacts", "", Purpose::Contacts, ""});
}

void SipLink::ReportStatus(const std::string& handle, const std::string& status) {
    auto known =
        std::find_if(told.begin(), told.end(), [&](const auto& entry) { return entry.first == handle; });
    if (known == told.end())
        told.emplace_back(handle, status);
    else
        known->second = status;
    output.Notify("USER " + handle + " ONLINESTATUS " + status);
}

SipCall* SipLink::FindById(const std::string& id) {
    auto found = std::find_if(calls.begin(), calls.end(), [&](const SipCall& call) { return call.id == id; });
    return found == calls.end() ? nullptr : &*found;
}

SipCall* SipLink::FindByAgentId(const std::string& agentId) {
    auto found = std::find_if(calls.begin(), calls.end(),
                              [&](const SipCall& call) { return call.agentId == agentId; });
    return found == calls.end() ? nullptr : &*found;
}

void SipLink::Notify(const std::string& callId, const std::string& status) {
    output.Notify("CALL " + callId + " STATUS " + status);
}

void SipLink::End(const std::string& id, const std::string& status) {
    auto found = std::find_if(calls.begin(), calls.end(), [&](const SipCall& call) { return call.id == id; });
    if (found == calls.end())
        return;
    ended.emplace_back(*found, status);
    if (ended.size() > EndedKept)
        ended.pop_front();
    calls.erase(found);
    Notify(id, status);
}

const std::pair<SipCall, std::string>* SipLink::Ended(const std::string& id) const {
    for (const auto& entry : ended)
        if (entry.first.id == id)
            return &entry;
    return nullptr;
}
