#include "siplink/AgentSocket.h"

bool AgentSocket::Connect(const sockaddr_in& address) {
    Close();
    socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET)
        return false;
    // WSAAsyncSelect also makes the socket non-blocking.
    if (WSAAsyncSelect(socket, window, message, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0 ||
        (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
         WSAGetLastError() != WSAEWOULDBLOCK)) {
        Close();
        return false;
    }
    return true;
}

AgentSocket::Event AgentSocket::OnMessage(WPARAM wParam, LPARAM lParam, std::string& received) {
    // Messages of a socket closed meanwhile are late news.
    if (socket == INVALID_SOCKET || static_cast<SOCKET>(wParam) != socket)
        return Nothing;
    if (WSAGETSELECTERROR(lParam) != 0) {
        Close();
        return Closed;
    }
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_CONNECT:
        return Connected;
    case FD_WRITE:
        return Flush() ? Nothing : (Close(), Closed);
    case FD_READ: {
        char buffer[4096];
        int count = recv(socket, buffer, sizeof buffer, 0);
        if (count > 0) {
            received.assign(buffer, static_cast<size_t>(count));
            return Received;
        }
        if (count < 0 && WSAGetLastError() == WSAEWOULDBLOCK)
            return Nothing;
        Close();
        return Closed;
    }
    case FD_CLOSE:
        Close();
        return Closed;
    default:
        return Nothing;
    }
}

bool AgentSocket::Send(const std::string& bytes) {
    if (socket == INVALID_SOCKET)
        return false;
    outbox += bytes;
    return Flush();
}

bool AgentSocket::Flush() {
    while (!outbox.empty()) {
        int count = send(socket, outbox.data(), static_cast<int>(outbox.size()), 0);
        if (count < 0)
            return WSAGetLastError() == WSAEWOULDBLOCK; // FD_WRITE comes when it can take more
        outbox.erase(0, static_cast<size_t>(count));
    }
    return true;
}

void AgentSocket::Close() {
    if (socket != INVALID_SOCKET)
        closesocket(socket);
    socket = INVALID_SOCKET;
    outbox.clear();
}
