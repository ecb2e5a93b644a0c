#pragma once
// The link to Skype's API: discovery, attach, the paced command queue and the send. It owns Skype's window
// handle and the registered message ids; the owner's window receives Skype's messages and passes them on.
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "skype/SenderCheck.h"
#include "skype/SkypeCommands.h"
#include "support/Clock.h"

// Two commands never leave closer together than this: the pump sends one a step, a step this long.
constexpr UINT SkypeCommandPaceMs = 200;

class SkypeLinkOwner {
  public:
    // The link's state is to be shown: after every attach reply, a failed send, and every pump step
    // while not attached.
    virtual void ShowSkypeLink(bool attached) = 0;
    // One notification from the attached Skype window, cut at its first zero byte.
    virtual void OnSkypeNotification(const std::string& text) = 0;
    // A command left at once, outside the pump: its next step is to come a whole pace after it.
    virtual void RestartSkypePump() = 0;
    // The attached window is gone, refused a command, or another window took its place: what it was told
    // and what it said is over. Told from a pump step or an attach reply, never from inside a queueing.
    virtual void OnSkypeLinkLost() = 0;

  protected:
    ~SkypeLinkOwner() = default;
};

struct QueuedCommand {
    std::string text;
    CallTag call;
};

class SkypeLink : public SkypeCommands {
  public:
    // The pace is kept by `clock` (milliseconds, steady); a test may give a clock of its own.
    explicit SkypeLink(SkypeLinkOwner& owner, std::function<double()> clock = NowMs)
        : owner(owner), clock(std::move(clock)) {}

    // The window Skype is told about and answers to; set once it exists.
    void SetWindow(HWND window) { mainWindow = window; }

    // Answers true when attached, or when the discover broadcast was delivered.
    bool DiscoverSkype();
    // One pump step: send the next command, or show the link down and discover again.
    void PumpStep();
    // Whether a message is Skype's attach reply; none is before the first discovery.
    bool IsAttachMessage(UINT message) const { return attachMessage != 0 && message == attachMessage; }
    void OnAttachReply(HWND apiWindow, LPARAM status);
    // WM_COPYDATA to the owner's window: interpreted only from the attached Skype window, when that window's
    // program is the one that attached and does not deny sending it (SenderCheck).
    void OnCopyData(HWND sender, const COPYDATASTRUCT* data);
    // The question whether a command came from this program (SenderCheck); the owner's window answers it.
    bool IsSenderQuestion(UINT message) const { return message == SenderQuestionMessage(); }
    LRESULT AnswerSenderQuestion(WPARAM asker, LPARAM digest) { return witness.Answer(asker, digest); }

    // A command that waits behind none, queued a whole pace or more after the last one left, leaves at
    // once; any other waits for the pump.
    void QueueSkypeCommand(const std::string& text, CallTag call = NoCall) override;
    bool DropSkypeCommands(CallTag call) override;

    bool Attached() const { return skypeWindow != nullptr; }
    HWND SkypeWindow() const { return skypeWindow; }
    const std::deque<QueuedCommand>& Queue() const { return skypeCommands; }

  private:
    void SendNextSkypeCommand();
    bool PaceElapsed() const;
    // Skype's window refused a command or is gone: discovery starts again at the next step.
    void DropSkypeWindow();
    // Tells the owner of a window dropped since it was last told.
    void ReportLoss();

    SkypeLinkOwner& owner;
    std::function<double()> clock;
    HWND mainWindow = nullptr;
    // Set only by an attach reply of success; cleared when a command cannot be delivered or the window is
    // gone.
    HWND skypeWindow = nullptr;
    DWORD skypeProcess = 0; // the process of skypeWindow when it attached
    SendWitness witness;
    // A window was dropped and the owner not yet told: a send that fails inside a queueing is reported at
    // the next pump step or attach, where the caller of the queueing is not in the middle of its work.
    bool lossUntold = false;
    UINT attachMessage = 0;
    UINT discoverMessage = 0;
    // The user is told once per run that no Skype is installed; discovery goes on quietly after, so that
    // a client installed or started later (the SIP link makes the key at its first start) is found.
    bool missingSkypeReported = false;
    std::deque<QueuedCommand> skypeCommands;
    // Notifications taken while the owner still handles an earlier one, handed on in order after it.
    std::deque<std::string> notifications;
    bool handingOn = false;
    // When the last command left (ms of the performance counter); none has while sentAny is false.
    bool sentAny = false;
    double lastSentMs = 0;
};
