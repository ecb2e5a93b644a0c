#pragma once
// The Skype API peer: plays the Skype client's side of the window-message API for tests, the
// demonstration and users without Skype. Shared state of its two source files.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace peer {

constexpr const char* ApiWindowTitle = "Skype Peer API";
constexpr const char* ControlWindowTitle = "Skype Peer Control";
constexpr LPARAM NoAnswer = -1; // in the attach sequence: the discover broadcast is not answered

struct Call {
    std::string partner;
    std::string displayName; // what PARTNER_DISPNAME answers; the handle when empty
    std::string status;      // empty until the first status notification
    bool incoming = false;
};

// What goes to the client later, always after the client's own SendMessage has returned.
struct Outgoing {
    enum Kind { Text, Unterminated, NullData, AttachReply, CallStatus, Mark } kind;
    DWORD due;          // milliseconds since the peer started
    std::string text;   // Text, Unterminated: the notification; CallStatus: the call id; Mark: its text
    std::string status; // CallStatus: the new status
    LPARAM attachStatus;
    HWND attachWindow;
};

struct State {
    HWND api = nullptr;
    HWND control = nullptr;
    HWND client = nullptr; // the window of the last discover broadcast
    UINT attachMessage = 0;
    UINT discoverMessage = 0;
    DWORD startTick = 0;
    HANDLE log = INVALID_HANDLE_VALUE;

    std::vector<LPARAM> attachSequence{0}; // one per discover broadcast; the last one repeats
    size_t discoverCount = 0;
    int refuseNext = 0;       // commands still to refuse
    std::string refuseText;   // the next command with this text is refused too
    int answerDelayMs = 3000; // the far end of an outgoing call answers; -1: never
    int ringDelayMs = 300;    // the far end of an outgoing call starts ringing
    int pickupDelayMs = 0;    // an incoming call the client answered goes in progress; -1: never
    // How PARTNER_DISPNAME is answered: with the name, as Skype does, with an error, or not at all (as a
    // client that does not know the property).
    enum class DisplayNames { Answered, Error, Silent } displayNames = DisplayNames::Answered;
    std::string contacts = "echo123, alice, bob";
    std::map<std::string, std::string> onlineStatus{{"echo123", "ONLINE"}, {"alice", "ONLINE"}};
    std::string userStatus = "ONLINE";
    std::map<std::string, Call> calls;
    std::string currentCall; // the newest call, which the window shows and acts on
    int nextCallId = 101;
    std::vector<Outgoing> outgoing;
};

extern State state;

DWORD Now();
void Log(const char* tag, const std::string& text);
// Queues an item and makes sure it is delivered once due.
void Schedule(const Outgoing& item);
void Notify(const std::string& text, DWORD delayMs = 0);
void NotifyCallStatus(const std::string& callId, const std::string& status, DWORD delayMs = 0);

// Answers one command from the client, the way Skype does.
void AnswerCommand(const std::string& command);
// Runs one control command; answers whether it was understood.
bool RunControl(const std::string& command);

// An incoming call `id` from `handle`, with the display name its client gives (none: the handle): it rings
// at once and becomes the current call.
void RingFrom(const std::string& id, const std::string& handle, const std::string& displayName = "");
// A new call id, not used before.
std::string NewCallId();
// The far end answers the current outgoing call (any answer still scheduled for it is dropped), or hangs
// up the current call; nothing happens when there is no such call.
void FarEndAnswers();
void FarEndHangsUp();
// The current call while it has not ended, else nullptr.
const Call* CurrentCall();
// A contact's status changes, and the client is told as Skype tells it.
void ChangeOnlineStatus(const std::string& handle, const std::string& status);
// The handles of the contact list, in its order.
std::vector<std::string> ContactHandles();

// Words between blanks; runs of blanks separate like one.
std::vector<std::string> SplitWords(const std::string& text);
bool IsTerminalStatus(const std::string& status);

} // namespace peer
