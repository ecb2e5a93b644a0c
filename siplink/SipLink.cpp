#include "siplink/SipLink.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "siplink/Names.h"
#include "skype/ApiLine.h"

using State = LinkCall::State;

namespace {

// Ended calls kept to answer late commands about them.
constexpr size_t EndedKept = 8;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// The status word of a call the program sees, as a repeated question about it is answered.
const char* StatusWord(const LinkCall& call) {
    switch (call.state) {
    case State::Dialling:
        return "ROUTING";
    case State::Alerting:
    case State::Ringing:
    case State::Answering:
        return "RINGING";
    default:
        return "INPROGRESS";
    }
}

bool IsTone(const std::string& word) {
    return word.size() == 1 && word[0] != '\0' && std::strchr("0123456789*#ABCDabcd", word[0]);
}

std::string PresenceWord(phone::Event::PresenceState presence) {
    switch (presence) {
    case phone::Event::PresenceState::Online:
        return "ONLINE";
    case phone::Event::PresenceState::Offline:
        return "OFFLINE";
    case phone::Event::PresenceState::Busy:
        return "DND";
    default:
        return "UNKNOWN";
    }
}

} // namespace

void SipLink::ClientAttached() {
    clientThere = true;
    // What an earlier program was told says nothing about what this one knows.
    told.Clear();
    for (const Contact& contact : contacts.All())
        ReportStatus(contact.handle, contact.presence);
}

void SipLink::ClientGone() {
    if (!clientThere)
        return;
    clientThere = false;
    for (LinkCall& call : calls)
        if (ForProgram(call))
            Move(call, State::Releasing, "the program is gone", LostStatus(call));
    Prune();
}

void SipLink::Command(const std::string& text) {
    // Commands are read with runs of blanks as one, and their keywords in any case.
    ApiLine line(text, ApiLine::Blanks::RunsSeparate);
    std::vector<std::string> words, upper;
    for (size_t i = 0; i < line.Size(); ++i) {
        words.push_back(line[i]);
        upper.push_back(Upper(line[i]));
    }
    size_t count = words.size();
    if (count == 2 && upper[0] == "CALL")
        Dial(words[1]);
    else if (count == 5 && upper[0] == "SET" && upper[1] == "CALL")
        SetCall(words, upper);
    else if (count == 4 && upper[0] == "GET" && upper[1] == "CALL" &&
             (upper[3] == "PARTNER_HANDLE" || upper[3] == "PARTNER_DISPNAME"))
        GetPartner(words[2], upper[3]);
    else if (count == 2 && upper[0] == "SEARCH" && upper[1] == "FRIENDS")
        SearchFriends();
    else if (count == 4 && upper[0] == "GET" && upper[1] == "USER" && upper[3] == "ONLINESTATUS")
        ReportStatus(words[2],
                     contacts.ByHandle(words[2]) ? contacts.ByHandle(words[2])->presence : "UNKNOWN");
    else if (count == 2 && upper[0] == "GET" && upper[1] == "USERSTATUS")
        output.Notify("USERSTATUS ONLINE");
    else
        output.Notify("ERROR 2 Unknown command");
    Prune();
}

void SipLink::OnPhoneEvent(const phone::Event& event) {
    using Kind = phone::Event::Kind;
    if (event.kind == Kind::Presence) {
        OnPresence(event);
        return;
    }
    if (event.kind == Kind::Incoming) {
        OnIncoming(event);
        return;
    }
    LinkCall* call = FindByPhone(event.call);
    if (!call && event.kind == Kind::Closed && event.end == phone::CallEnd::LineBusy) {
        // The phone turned a caller away itself while a call was up; the program never hears of it.
        output.Log("BUSY", "another call holds the line: busy for " + event.peerUri);
        return;
    }
    if (!call) {
        if (event.kind == Kind::Progress || event.kind == Kind::Established || event.kind == Kind::Closed)
            output.Log("SKIP", "an event of no call SipLink knows: " + std::to_string(event.call) + " " +
                                   event.peerUri);
        return;
    }
    switch (event.kind) {
    case Kind::Progress:
        if (call->state == State::Dialling)
            Move(*call, State::Alerting,
                 event.earlyMedia ? "the far end rings with its own sound" : "the far end rings");
        break;
    case Kind::Established:
        if (call->state != State::Releasing)
            Move(*call, State::Talking, "answered");
        break;
    case Kind::Closed:
        OnClosed(*call, event);
        break;
    default:
        break;
    }
    Prune();
}

void SipLink::LineLost() {
    for (LinkCall& call : calls)
        if (ForProgram(call))
            Move(call, State::Releasing, "the line is gone", LostStatus(call));
    Prune();
    // What Skype says when its user goes away: the program asks again and so finds the line gone.
    output.Notify("USERSTATUS LOGGEDOUT");
}

void SipLink::SetContacts(std::vector<Contact> list) {
    contacts.Replace(std::move(list));
    std::vector<std::string> addresses;
    for (const Contact& contact : contacts.All())
        addresses.push_back(contact.address);
    phone.WatchPresence(addresses);
    ReportChanges();
}

bool SipLink::InCall() const {
    return std::any_of(calls.begin(), calls.end(), [](const LinkCall& call) { return ForProgram(call); });
}

// The call the program names by this word: its id in decimal digits, nothing else.
LinkCall* SipLink::Find(const std::string& id) {
    if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos)
        return nullptr;
    unsigned number = static_cast<unsigned>(std::stoul(id));
    auto found =
        std::find_if(calls.begin(), calls.end(), [&](const LinkCall& call) { return call.id == number; });
    return number == 0 || found == calls.end() ? nullptr : &*found;
}

LinkCall* SipLink::FindByPhone(phone::CallId phoneId) {
    // The newest first: an id the phone never reuses names one call, but a dial refused at once has none.
    auto found = std::find_if(calls.rbegin(), calls.rend(),
                              [&](const LinkCall& call) { return call.phoneId == phoneId; });
    return phoneId == 0 || found == calls.rend() ? nullptr : &*found;
}

void SipLink::Move(LinkCall& call, State next, const std::string& why, const std::string& endStatus) {
    std::string who = call.id ? "CALL " + std::to_string(call.id) : "a caller turned away";
    if (!MayMove(call.state, next)) {
        output.Log("SKIP",
                   who + " stays " + StateName(call.state) + ", not " + StateName(next) + " (" + why + ")");
        return;
    }
    output.Log("CALL-STATE", who + " " + StateName(call.state) + " -> " + StateName(next) + " (" + why + ")");
    bool wasForProgram = ForProgram(call);
    call.state = next;
    switch (next) {
    case State::Alerting:
        Notify(call, "RINGING");
        break;
    case State::Answering:
        phone.Answer(call.phoneId);
        break;
    case State::Talking:
        Notify(call, "INPROGRESS");
        break;
    case State::Releasing:
    case State::Ended:
        if (next == State::Releasing && call.phoneId != 0)
            phone.Hangup(call.phoneId);
        if (wasForProgram) {
            call.endStatus = endStatus;
            Notify(call, endStatus);
            output.Log("CALL-END", std::to_string(call.id) + " " + endStatus + ": " + why);
        }
        break;
    default:
        break;
    }
}

void SipLink::Notify(const LinkCall& call, const std::string& status) {
    if (call.id != 0)
        output.Notify("CALL " + std::to_string(call.id) + " STATUS " + status);
}

// Ended calls beyond the few kept go, the oldest first; a caller turned away is forgotten once ended.
void SipLink::Prune() {
    calls.erase(
        std::remove_if(calls.begin(), calls.end(),
                       [](const LinkCall& call) { return call.id == 0 && call.state == State::Ended; }),
        calls.end());
    size_t ended = std::count_if(calls.begin(), calls.end(),
                                 [](const LinkCall& call) { return call.state == State::Ended; });
    for (auto call = calls.begin(); ended > EndedKept && call != calls.end();) {
        if (call->state == State::Ended) {
            call = calls.erase(call);
            --ended;
        } else {
            ++call;
        }
    }
}

void SipLink::Dial(const std::string& target) {
    LinkCall call;
    call.id = nextId++;
    call.outgoing = true;
    // No handle is a dial string (MakeHandles): a number typed on the keypad is dialled as it is, even when
    // a contact has that name.
    const Contact* contact = contacts.ByHandle(target);
    call.handle = contact ? contact->handle : target;
    call.name = contact ? contact->name
                        : PartyName("", "", target.find('@') == std::string::npos ? target + "@" : target);
    bool busy = InCall();
    if (!busy)
        call.phoneId = phone.Dial(contact ? contact->address : target);
    calls.push_back(call);
    Notify(calls.back(), "ROUTING");
    output.Log("CALL-STATE", "CALL " + std::to_string(call.id) + " Dialling " +
                                 (contact ? contact->address : target) +
                                 (busy ? "" : " (phone call " + std::to_string(call.phoneId) + ")"));
    // The line holds one call: this one fails at once, as on a telephone.
    if (busy)
        Move(calls.back(), State::Ended, "another call holds the line", "FAILED");
}

void SipLink::SetCall(const std::vector<std::string>& words, const std::vector<std::string>& upper) {
    const std::string& id = words[2];
    LinkCall* call = Find(id);
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
        if (call->state == State::Ringing)
            Move(*call, State::Answering, "the program answers");
        else
            output.Notify("CALL " + id + " STATUS " + StatusWord(*call));
    } else if (upper[3] == "STATUS" && upper[4] == "FINISHED") {
        Move(*call, State::Releasing, "the program hangs up", "FINISHED");
    } else if (upper[3] == "DTMF" && IsTone(words[4]) && call->state == State::Talking) {
        phone.SendDigit(call->phoneId, upper[4][0]);
    } else if (upper[3] == "STATUS" || upper[3] == "DTMF") {
        output.Notify("ERROR 12 Invalid call property");
    } else {
        output.Notify("ERROR 2 Unknown command");
    }
}

void SipLink::GetPartner(const std::string& id, const std::string& property) {
    const LinkCall* call = Find(id);
    if (!call) {
        output.Notify("ERROR 11 Invalid call id");
        return;
    }
    output.Notify("CALL " + id + " " + property + " " +
                  (property == "PARTNER_HANDLE" ? call->handle : call->name));
}

void SipLink::SearchFriends() {
    std::string list = "USERS";
    for (const Contact& contact : contacts.All())
        list += (list.size() == 5 ? " " : ", ") + contact.handle;
    output.Notify(list);
}

void SipLink::OnIncoming(const phone::Event& event) {
    if (FindByPhone(event.call)) {
        output.Log("SKIP", "a call the phone announced twice: " + std::to_string(event.call));
        return;
    }
    LinkCall call;
    call.phoneId = event.call;
    call.state = State::Ringing;
    const Contact* contact = contacts.ByAddress(event.peerUri);
    call.handle = contact ? contact->handle : CallerHandle(event.peerUri);
    call.name = PartyName(event.peerName, contact ? contact->name : "", event.peerUri);
    // One call at a time reaches the handset, and only when a program is there to ring it; the caller
    // hears busy. The program never hears of it.
    if (InCall() || !clientThere) {
        calls.push_back(call);
        Move(calls.back(), State::Releasing,
             std::string(clientThere ? "another call holds the line" : "no program takes calls") +
                 ": busy for " + event.peerUri);
        return;
    }
    call.id = nextId++;
    calls.push_back(call);
    output.Log("CALL-STATE", "CALL " + std::to_string(call.id) + " Ringing from " + event.peerUri +
                                 " (phone call " + std::to_string(call.phoneId) + ")");
    Notify(calls.back(), "RINGING");
}

void SipLink::OnClosed(LinkCall& call, const phone::Event& event) {
    std::string how = event.code ? std::to_string(event.code) + " " + event.reason : event.reason;
    std::string why = "the phone ended it" + (how.empty() ? "" : ": " + how);
    Move(call, State::Ended, why, ForProgram(call) ? EndStatus(call, event.end) : "");
}

void SipLink::OnPresence(const phone::Event& event) {
    if (contacts.SetPresence(event.peerUri, PresenceWord(event.presence)))
        ReportChanges();
}

// Counted as told only once it went to a program: a status dropped for want of one is told again.
void SipLink::ReportStatus(const std::string& handle, const std::string& status) {
    if (output.Notify("USER " + handle + " ONLINESTATUS " + status))
        told.Told(handle, status, contacts);
}

void SipLink::ReportChanges() {
    for (const auto& [handle, now] : told.Changes(contacts))
        ReportStatus(handle, now);
}
