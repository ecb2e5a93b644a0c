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
    // whole message is there yet. The work is linear in the bytes appended, however they are broken.
    bool Next(std::string& message, std::string& skipped);
    void Clear() {
        buffer.clear();
        start = 0;
    }

  private:
    std::string buffer;
    size_t start = 0; // where the next message begins; what is before it is done with
};
