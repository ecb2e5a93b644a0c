#pragma once
// SipLink's side of the Skype API: the window that answers the discover broadcast with an attach reply,
// takes the client's commands in WM_COPYDATA and sends notifications back the same way. It exists only
// while the user agent is connected, so a client finds SipLink only while a SIP line is there.
#include <windows.h>

#include <deque>
#include <functional>
#include <string>

#include "siplink/LogFile.h"

class ApiWindow {
  public:
    using CommandHandler = std::function<void(const std::string&)>;

    ApiWindow(LogFile& log, CommandHandler onCommand) : log(log), onCommand(std::move(onCommand)) {}
    ~ApiWindow() { Destroy(); }
    ApiWindow(const ApiWindow&) = delete;
    ApiWindow& operator=(const ApiWindow&) = delete;

    bool Create();
    // Delivers what is still queued, then destroys the window; the client's next command fails.
    void Destroy();
    // Queued: sent after the message being handled has returned, never from inside the client's send.
    void Notify(const std::string& text);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    struct Outgoing {
        bool attach; // an attach reply (status 0) instead of a text
        std::string text;
    };

    void Queue(const Outgoing& item);
    void DeliverQueued();
    LRESULT OnCommand(HWND sender, const COPYDATASTRUCT* data);

    LogFile& log;
    CommandHandler onCommand;
    HWND window = nullptr;
    HWND client = nullptr; // the window of the last discover broadcast
    UINT discoverMessage = RegisterWindowMessageA("SkypeControlAPIDiscover");
    UINT attachMessage = RegisterWindowMessageA("SkypeControlAPIAttach");
    std::deque<Outgoing> outbox;
};
