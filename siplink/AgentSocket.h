#pragma once
// The TCP connection to the user agent's control port, non-blocking, its events posted to a window.
#include <winsock2.h>

#include <string>

class AgentSocket {
  public:
    enum Event { Nothing, Connected, Received, Closed };

    // Socket events arrive at `window` as `message`; pass them to OnMessage.
    AgentSocket(HWND window, UINT message) : window(window), message(message) {}
    ~AgentSocket() { Close(); }
    AgentSocket(const AgentSocket&) = delete;
    AgentSocket& operator=(const AgentSocket&) = delete;

    // Starts connecting; Connected or Closed follows. False when no attempt could start.
    bool Connect(const sockaddr_in& address);
    // One socket message: what it means, with the bytes read when Received.
    Event OnMessage(WPARAM wParam, LPARAM lParam, std::string& received);
    // Queues the bytes and sends what the connection takes; false when the connection is broken.
    bool Send(const std::string& bytes);
    void Close();
    bool Busy() const { return socket != INVALID_SOCKET; } // connecting or connected

  private:
    bool Flush();

    HWND window;
    UINT message;
    SOCKET socket = INVALID_SOCKET;
    std::string outbox; // what the connection has not taken yet
};
