#pragma once
// SipLink's side of the Skype API: the window that answers the discover broadcast with an attach reply,
// takes the client's commands in WM_COPYDATA and sends notifications back the same way. It exists only
// while the line is offered (Line), so a client finds SipLink only while a SIP line is there. It
// serves one client: the program SipLink was installed with, or another the user allowed (ClientAccess).
// A command counts only from the attached window, of the process that attached, when that window does not
// deny having sent it (SenderCheck).
#include <windows.h>

#include <deque>
#include <functional>
#include <string>

#include "siplink/AccessPrompt.h"
#include "siplink/ClientAccess.h"
#include "siplink/LogFile.h"
#include "siplink/NoteCourier.h"

class ApiWindow {
  public:
    using CommandHandler = std::function<void(const std::string&)>;
    using AttachHandler = std::function<void()>;

    // The program SipLink serves without asking is DectBridge.exe in SipLink's own folder, where the
    // setup installs both.
    ApiWindow(LogFile& log, CommandHandler onCommand, AttachHandler onAttach);
    ~ApiWindow() { Destroy(); }
    ApiWindow(const ApiWindow&) = delete;
    ApiWindow& operator=(const ApiWindow&) = delete;

    bool Create();
    // Delivers what is still queued (waiting for a client that does not take it at most
    // NoteCourier::SendTimeoutMs), then destroys the window; the client's next command fails.
    void Destroy();
    // Queued: handed to the courier after the message being handled has returned, never from inside the
    // client's send.
    // False when no client is attached to take it (it is dropped).
    bool Notify(const std::string& text);
    // A client is attached and its window is there.
    bool HasClient() const { return Attached() != nullptr; }
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    struct Outgoing {
        HWND to;
        bool attach;   // an attach reply instead of a text
        LPARAM status; // of an attach reply
        std::string text;
    };

    void Queue(const Outgoing& item);
    void DeliverQueued();
    void OnDiscover(HWND discoverer);
    void OnAnswer(bool allowed);
    void AttachClient(HWND window, const std::string& program);
    // The attached client; nullptr when none is attached or its window is gone.
    const ClientAccess::Client* Attached() const;
    LRESULT OnCommand(HWND sender, const COPYDATASTRUCT* data);

    LogFile& log;
    CommandHandler onCommand;
    AttachHandler onAttach;
    HWND window = nullptr;
    // Destroy delivers the last notifications: the client's questions about them are answered meanwhile,
    // and nothing new is taken.
    bool closing = false;
    HWND client = nullptr; // the attached client's window
    ClientAccess::Client attached;
    ClientAccess access;
    AccessPrompt prompt{[this](bool allowed) { OnAnswer(allowed); }};
    HWND asking = nullptr; // the window the open question is about
    ClientAccess::Client asker;
    UINT discoverMessage = RegisterWindowMessageA("SkypeControlAPIDiscover");
    std::deque<Outgoing> outbox;
    NoteCourier courier{log};
};
