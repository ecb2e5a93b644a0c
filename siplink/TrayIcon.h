#pragma once
// SipLink's icon in the notification area: whether the line works (its icon) and why not (its tip), a
// menu to open the SIP account window or end SipLink, and the account window on a double click. It has a
// hidden window of its own ("SipLinkTray") for the shell's messages and the menu's commands; the icon is
// added again when the shell starts anew (Explorer's "TaskbarCreated") and removed when its owner ends.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "siplink/LogFile.h"

class TrayIcon {
  public:
    enum Command { OpenAccount = 1, Exit = 2 };
    using Chosen = std::function<void(Command)>;

    TrayIcon(LogFile& log, Chosen chosen) : log(log), chosen(std::move(chosen)) {}
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool Create();
    // The icon of a working line or of none, with the tip (UTF-8, cut to what the shell shows); the shell
    // is told only what changed.
    void Show(bool working, const std::string& tip);
    // SipLink ends: the icon is taken out of the shell while the owner ends the rest (a shell may take its
    // time, Wine's waits for its screen); the destructor waits for it. Nothing is shown any more.
    void BeginRemoval();
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    // Gives the shell the icon; `add` when the shell has none yet.
    void Tell(bool add);
    void ShowMenu();
    // Takes the icon out of the shell; on the removal's thread once BeginRemoval has started it.
    void Remove();

    LogFile& log;
    Chosen chosen;
    HWND window = nullptr;
    bool added = false; // the shell took the icon
    bool working = false;
    std::string tip;
    bool removing = false; // BeginRemoval was called: the removal's thread owns `added`
    std::thread removal;
    std::atomic<bool> removed{false};
};
