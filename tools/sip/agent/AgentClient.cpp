#include "tools/sip/agent/AgentClient.h"

#include "tools/sip/agent/AgentMessage.h"

AgentClient::AgentClient() {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
}

AgentClient::~AgentClient() {
    Close();
    WSACleanup();
}

bool AgentClient::Connect(int port, DWORD timeoutMs) {
    Close();
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    DWORD start = GetTickCount();
    do {
        socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        Close();
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

void AgentClient::Close() {
    if (socket != INVALID_SOCKET)
        closesocket(socket);
    socket = INVALID_SOCKET;
    reader.Clear();
}

bool AgentClient::Command(const std::string& command, const std::string& params, std::string* data,
                          DWORD timeoutMs) {
    std::string token = "c" + std::to_string(nextToken++);
    std::string frame = EncodeNetstring(AgentCommandJson(command, params, token));
    if (socket == INVALID_SOCKET ||
        send(socket, frame.data(), static_cast<int>(frame.size()), 0) != int(frame.size()))
        return false;
    DWORD start = GetTickCount();
    for (;;) {
        for (const AgentMessage& reply : replies)
            if (reply.token == token) {
                if (data)
                    *data = reply.data;
                return true;
            }
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs || !Receive(timeoutMs - spent))
            return false;
    }
}

bool AgentClient::WaitForEvent(const std::string& type, DWORD timeoutMs, AgentMessage* event) {
    DWORD start = GetTickCount();
    for (;;) {
        for (size_t i = 0; i < events.size(); ++i)
            if (!taken[i] && events[i].type == type) {
                taken[i] = true;
                if (event)
                    *event = events[i];
                return true;
            }
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs || !Receive(timeoutMs - spent))
            return false;
    }
}

std::vector<AgentMessage> AgentClient::Events(const std::string& type) const {
    std::vector<AgentMessage> found;
    for (const AgentMessage& event : events)
        if (type.empty() || event.type == type)
            found.push_back(event);
    return found;
}

bool AgentClient::Receive(DWORD timeoutMs) {
    if (socket == INVALID_SOCKET)
        return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready < 0)
        return false;
    if (ready == 0)
        return true;
    char buffer[4096];
    int count = recv(socket, buffer, sizeof buffer, 0);
    if (count <= 0) {
        Close();
        return false;
    }
    reader.Append(buffer, static_cast<size_t>(count));
    std::string json, skipped;
    while (reader.Next(json, skipped)) {
        AgentMessage message;
        if (!ParseAgentMessage(json, message))
            continue;
        if (message.kind == AgentMessage::Event) {
            events.push_back(message);
            taken.push_back(false);
        } else {
            replies.push_back(message);
        }
    }
    return true;
}

bool AgentClient::WaitUntilRegistered(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        std::string info;
        if (Command("reginfo", "", &info) && info.find("OK") != std::string::npos)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(50);
    }
}
