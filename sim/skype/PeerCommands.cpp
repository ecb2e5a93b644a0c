// The peer's two vocabularies: Skype commands from the client, and control commands from tests and the
// demonstration.
#include <algorithm>
#include <cstdlib>

#include "sim/skype/Peer.h"

namespace peer {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// The rest of the text after `count` words and the blank behind them, or "" when there is none.
std::string TextAfterWords(const std::string& text, int count) {
    size_t position = 0;
    for (int i = 0; i < count; ++i) {
        position = text.find(' ', position);
        if (position == std::string::npos)
            return "";
        ++position;
    }
    return text.substr(position);
}

void PlaceCall(const std::string& target) {
    std::string id = NewCallId();
    state.calls[id] = Call{target, "", "", false};
    state.currentCall = id;
    NotifyCallStatus(id, "ROUTING");
    NotifyCallStatus(id, "RINGING", state.ringDelayMs);
    if (state.answerDelayMs >= 0)
        NotifyCallStatus(id, "INPROGRESS", state.answerDelayMs);
}

// SET CALL {id} STATUS INPROGRESS|FINISHED, SET CALL {id} DTMF {tone}
void SetCallProperty(const std::vector<std::string>& words, const std::vector<std::string>& upper) {
    auto call = state.calls.find(words[2]);
    if (call == state.calls.end() || IsTerminalStatus(call->second.status)) {
        Notify("ERROR 11 Invalid call id");
        return;
    }
    const std::string& id = call->first;
    if (upper[3] == "STATUS" && upper[4] == "INPROGRESS") {
        if (state.pickupDelayMs >= 0)
            NotifyCallStatus(id, "INPROGRESS", static_cast<DWORD>(state.pickupDelayMs));
    } else if (upper[3] == "STATUS" && upper[4] == "FINISHED") {
        NotifyCallStatus(id, "FINISHED");
    } else if (upper[3] == "DTMF" && call->second.status == "INPROGRESS") {
        Notify("CALL " + id + " DTMF " + words[4]);
    } else {
        Notify("ERROR 12 Invalid call property");
    }
}

} // namespace

void RingFrom(const std::string& id, const std::string& handle, const std::string& displayName) {
    state.calls[id] = Call{handle, displayName, "", true};
    state.currentCall = id;
    NotifyCallStatus(id, "RINGING");
}

std::string NewCallId() {
    std::string id;
    do
        id = std::to_string(state.nextCallId++);
    while (state.calls.count(id));
    return id;
}

const Call* CurrentCall() {
    auto call = state.calls.find(state.currentCall);
    return call == state.calls.end() || IsTerminalStatus(call->second.status) ? nullptr : &call->second;
}

void FarEndAnswers() {
    const Call* call = CurrentCall();
    if (!call || call->incoming || call->status == "INPROGRESS")
        return;
    auto& pending = state.outgoing;
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [](const Outgoing& item) {
                                     return item.kind == Outgoing::CallStatus &&
                                            item.text == state.currentCall && item.status == "INPROGRESS";
                                 }),
                  pending.end());
    NotifyCallStatus(state.currentCall, "INPROGRESS");
}

void FarEndHangsUp() {
    if (CurrentCall())
        NotifyCallStatus(state.currentCall, "FINISHED");
}

void ChangeOnlineStatus(const std::string& handle, const std::string& status) {
    state.onlineStatus[handle] = status;
    Notify("USER " + handle + " ONLINESTATUS " + status);
}

std::vector<std::string> ContactHandles() {
    std::vector<std::string> handles;
    std::string list = state.contacts;
    std::replace(list.begin(), list.end(), ',', ' ');
    return SplitWords(list);
}

bool IsTerminalStatus(const std::string& status) {
    return status == "FINISHED" || status == "FAILED" || status == "MISSED" || status == "REFUSED" ||
           status == "BUSY" || status == "CANCELLED";
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// Skype takes its commands in any case; its answers are in upper case, handles as they are.
void AnswerCommand(const std::string& command) {
    std::vector<std::string> words = SplitWords(command);
    std::vector<std::string> upper;
    for (const std::string& word : words)
        upper.push_back(Upper(word));
    size_t count = words.size();
    if (count == 2 && upper[0] == "CALL") {
        PlaceCall(words[1]);
    } else if (count == 4 && upper[0] == "GET" && upper[1] == "CALL" && upper[3] == "PARTNER_HANDLE") {
        auto call = state.calls.find(words[2]);
        if (call == state.calls.end())
            Notify("ERROR 11 Invalid call id");
        else
            Notify("CALL " + call->first + " PARTNER_HANDLE " + call->second.partner);
    } else if (count == 4 && upper[0] == "GET" && upper[1] == "CALL" && upper[3] == "PARTNER_DISPNAME" &&
               state.displayNames != State::DisplayNames::Silent) {
        auto call = state.calls.find(words[2]);
        if (call == state.calls.end())
            Notify("ERROR 11 Invalid call id");
        else if (state.displayNames == State::DisplayNames::Error)
            Notify("ERROR 12 Invalid call property");
        else
            Notify("CALL " + call->first + " PARTNER_DISPNAME " +
                   (call->second.displayName.empty() ? call->second.partner : call->second.displayName));
    } else if (count == 4 && upper[0] == "GET" && upper[1] == "CALL" && upper[3] == "PARTNER_DISPNAME") {
        // Silent: the property is not known and nothing is answered.
    } else if (count == 5 && upper[0] == "SET" && upper[1] == "CALL") {
        SetCallProperty(words, upper);
    } else if (count == 2 && upper[0] == "SEARCH" && upper[1] == "FRIENDS") {
        Notify("USERS " + state.contacts);
    } else if (count == 4 && upper[0] == "GET" && upper[1] == "USER" && upper[3] == "ONLINESTATUS") {
        auto known = state.onlineStatus.find(words[2]);
        Notify("USER " + words[2] + " ONLINESTATUS " +
               (known == state.onlineStatus.end() ? "OFFLINE" : known->second));
    } else if (count == 2 && upper[0] == "GET" && upper[1] == "USERSTATUS") {
        Notify("USERSTATUS " + state.userStatus);
    } else {
        Notify("ERROR 2 Unknown command");
    }
}

bool RunControl(const std::string& command) {
    std::vector<std::string> words = SplitWords(command);
    if (words.empty())
        return false;
    const std::string& verb = words[0];
    size_t count = words.size();
    if (verb == "notify" || verb == "notify-unterminated") {
        Outgoing::Kind kind = verb == "notify" ? Outgoing::Text : Outgoing::Unterminated;
        Schedule(Outgoing{kind, Now(), TextAfterWords(command, 1), "", 0, nullptr});
    } else if (verb == "notify-null" && count == 1) {
        Schedule(Outgoing{Outgoing::NullData, Now(), "", "", 0, nullptr});
    } else if (verb == "attach" && count >= 2) {
        state.attachSequence.clear();
        for (size_t i = 1; i < count; ++i)
            state.attachSequence.push_back(words[i] == "none" ? NoAnswer
                                                              : std::strtol(words[i].c_str(), nullptr, 0));
        state.discoverCount = 0;
    } else if (verb == "reply" && (count == 2 || count == 3)) {
        HWND window = count == 3 && words[2] == "0" ? nullptr : state.api;
        Schedule(Outgoing{Outgoing::AttachReply, Now(), "", "", std::strtol(words[1].c_str(), nullptr, 0),
                          window});
    } else if (verb == "refuse" && count == 2) {
        state.refuseNext = std::atoi(words[1].c_str());
    } else if (verb == "ring" && count >= 3) {
        RingFrom(words[1], words[2], TextAfterWords(command, 3));
    } else if (verb == "dispname" && count == 2 &&
               (words[1] == "on" || words[1] == "error" || words[1] == "silent")) {
        state.displayNames = words[1] == "on"      ? State::DisplayNames::Answered
                             : words[1] == "error" ? State::DisplayNames::Error
                                                   : State::DisplayNames::Silent;
    } else if (verb == "refuse-command" && count >= 2) {
        state.refuseText = TextAfterWords(command, 1);
    } else if (verb == "mark" && count == 2) {
        Schedule(Outgoing{Outgoing::Mark, Now(), words[1], "", 0, nullptr});
    } else if (verb == "hangup" && count == 2 && state.calls.count(words[1])) {
        NotifyCallStatus(words[1], "FINISHED");
    } else if (verb == "contacts") {
        state.contacts = TextAfterWords(command, 1);
    } else if (verb == "online" && count == 3) {
        state.onlineStatus[words[1]] = words[2];
    } else if (verb == "userstatus" && count == 2) {
        state.userStatus = words[1];
    } else if (verb == "answer" && count == 2 && words[1] == "now") {
        FarEndAnswers();
    } else if (verb == "answer" && count == 2) {
        state.answerDelayMs = words[1] == "never" ? -1 : std::atoi(words[1].c_str());
    } else if (verb == "pickup" && count == 2) {
        state.pickupDelayMs = words[1] == "never" ? -1 : std::atoi(words[1].c_str());
    } else if (verb == "quit" && count == 1) {
        PostMessageA(state.control, WM_CLOSE, 0, 0);
    } else {
        return false;
    }
    return true;
}

} // namespace peer
