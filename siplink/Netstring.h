#pragma once
// The user agent's control connection frames each JSON message as a netstring: "LEN:JSON,".
#include <cstddef>
#include <string>

std::string EncodeNetstring(const std::string& payload);

// Collects bytes as they arrive from the connection and cuts them into messages.
class NetstringReader {
  public:
    // The longest message taken; a longer length prefix counts as broken framing.
    static constexpr size_t MaxLength = 1 << 20;

    void Append(const char* bytes, size_t count);
    // Takes the next whole message. Bytes that cannot start a message are dropped up to the next place
    // where one can; they are added to `skipped` so that the caller can log them. Answers false when no
    // whole message is there yet.
    bool Next(std::string& message, std::string& skipped);
    void Clear() { buffer.clear(); }

  private:
    std::string buffer;
};
