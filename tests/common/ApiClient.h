#pragma once
// A client of the Skype window-message API played by a test, in DectBridge's place: it discovers, takes
// the attach replies and the notifications, and sends commands. And SipLink's question to its user about
// such a client, answered as the user would.
#include <windows.h>

#include <string>
#include <vector>

namespace test {

class ApiClient {
  public:
    ApiClient();
    ~ApiClient();
    ApiClient(const ApiClient&) = delete;
    ApiClient& operator=(const ApiClient&) = delete;

    // Broadcasts the discover message; answers the API window of a successful attach reply (status 0)
    // that came within the time, if any.
    HWND Discover(DWORD timeoutMs = 3000);
    // Discovers and, when SipLink asks its user, allows this program; answers the API window.
    HWND Attach(DWORD timeoutMs = 5000);
    // Sends a command the way the program does; answers SendMessage's result.
    LRESULT Command(const void* data, DWORD size, HWND from = nullptr);
    LRESULT Command(const std::string& text);
    // Until `count` notifications have come in all.
    bool WaitForNotes(size_t count, DWORD timeoutMs = 5000);
    // Until an attach reply with this status has come since the last Discover.
    bool WaitForStatus(LPARAM status, DWORD timeoutMs = 5000);
    static void Pump();

    HWND window = nullptr;
    HWND api = nullptr;
    std::vector<LPARAM> statuses; // the attach replies since the last Discover
    std::vector<std::string> notes;
    std::vector<HWND> senders;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// SipLink's question whether a program may use the line: waits for it and gives its text in `text`
// when asked; answers whether it came.
bool WaitForAccessQuestion(DWORD timeoutMs, std::string* text = nullptr);
// Clicks "Allow" or "Deny" in the open question as the user does (UserClick); answers whether there was
// one and the click took it away.
bool AnswerAccessQuestion(const char* button, DWORD timeoutMs = 5000);
// The user's own input, through the system's input queue as the mouse and keyboard give it: the pointer
// moved to the middle of the window and the left button pressed and released there; a key pressed and
// released (it goes to the window with the focus).
void UserClick(HWND window);
void UserKey(WORD key);

} // namespace test
