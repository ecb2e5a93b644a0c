// What one message or one client can cost SipLink's window, in process: a broken 1 MiB frame from the
// agent (the time until the next good message is taken), a presence poll with 5,000 contacts that the
// program all asked about, and the memory kept after the program asked about 100,000 names that are no
// contacts. The link's logic is plain C++, so this also builds natively.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "siplink/Json.h"
#include "siplink/Netstring.h"
#include "siplink/SipLink.h"

namespace {

// Bytes allocated and not yet freed, counted by the operators below.
size_t liveBytes = 0;

class Quiet : public LinkOutput {
  public:
    bool Notify(const std::string&) override {
        ++notes;
        return true;
    }
    void ToAgent(const std::string& frame) override { lastFrame = frame; }
    void Log(const std::string&, const std::string&) override {}

    size_t notes = 0;
    std::string lastFrame;
};

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The agent's bytes as the socket hands them over: 4,096 at a time.
void FromAgent(SipLink& link, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size(); at += 4096)
        link.AgentBytes(bytes.data() + at, std::min<size_t>(4096, bytes.size() - at));
}

std::string TokenOf(const std::string& frame) {
    size_t at = frame.find("\"token\":\"") + 9;
    return frame.substr(at, frame.find('"', at) - at);
}

void Reply(SipLink& link, const Quiet& output, const std::string& data) {
    FromAgent(link, EncodeNetstring("{\"response\":true,\"ok\":true,\"data\":" + JsonString(data) +
                                    ",\"token\":\"" + TokenOf(output.lastFrame) + "\"}"));
}

std::string ContactLines(int count, const char* presence) {
    std::string text = "\n--- Contacts ---\n";
    for (int i = 0; i < count; ++i)
        text += std::string("  ") + presence + " user" + std::to_string(i) + " <sip:user" +
                std::to_string(i) + "@127.0.0.1:5080>\n";
    return text;
}

void BrokenFrame() {
    Quiet output;
    SipLink link(output);
    link.AgentConnected();
    Reply(link, output, "");
    // A contact list's reply of 1 MiB whose comma never comes, then an event.
    std::string payload = "{\"response\":true,\"ok\":true,\"data\":\"";
    while (payload.size() < NetstringReader::MaxLength)
        payload += "  Online bob <sip:bob@127.0.0.1:5080>\\n";
    payload.resize(NetstringReader::MaxLength);
    std::string event = EncodeNetstring("{\"event\":true,\"type\":\"CALL_INCOMING\",\"id\":\"a\","
                                        "\"direction\":\"incoming\",\"peeruri\":\"sip:x@127.0.0.1\"}");
    size_t before = output.notes;
    auto start = std::chrono::steady_clock::now();
    FromAgent(link, std::to_string(payload.size()) + ":" + payload + "X" + event);
    std::printf("a broken 1 MiB frame: %.1f ms until the next message is taken%s\n", Ms(start),
                output.notes > before ? "" : " (NOT taken)");
}

void PresencePoll() {
    constexpr int Contacts = 5000;
    Quiet output;
    SipLink link(output);
    link.AgentConnected();
    std::string list = ContactLines(Contacts, "Online");
    Reply(link, output, list);
    for (int i = 0; i < Contacts; ++i)
        link.Command("GET USER user" + std::to_string(i) + " ONLINESTATUS");
    std::string changed = ContactLines(Contacts, "Offline");
    double longest = 0, total = 0;
    constexpr int Polls = 4;
    for (int poll = 0; poll < Polls; ++poll) {
        link.PollPresence();
        size_t before = output.notes;
        auto start = std::chrono::steady_clock::now();
        Reply(link, output, poll % 2 ? list : changed);
        double ms = Ms(start);
        longest = std::max(longest, ms);
        total += ms;
        if (output.notes - before != Contacts)
            std::printf("  (poll %d told %zu changes, not %d)\n", poll, output.notes - before, Contacts);
    }
    std::printf("a presence poll, %d contacts all asked about and all changed: %.1f ms average, %.1f ms "
                "longest\n",
                Contacts, total / Polls, longest);
}

void NamesAskedAbout() {
    constexpr int Names = 100000;
    Quiet output;
    SipLink link(output);
    link.AgentConnected();
    Reply(link, output, ContactLines(10, "Online"));
    size_t before = liveBytes;
    for (int i = 0; i < Names; ++i)
        link.Command("GET USER stranger" + std::to_string(i) + " ONLINESTATUS");
    std::printf("after %d names that are no contacts were asked about: %zu KB kept\n", Names,
                (liveBytes - before) / 1024);
}

} // namespace

// Every allocation carries its size in front, so that the live bytes can be counted.
void* operator new(size_t size) {
    auto* block = static_cast<size_t*>(std::malloc(size + sizeof(max_align_t)));
    if (!block)
        throw std::bad_alloc();
    *block = size;
    liveBytes += size;
    return reinterpret_cast<char*>(block) + sizeof(max_align_t);
}

void operator delete(void* pointer) noexcept {
    if (!pointer)
        return;
    auto* block = reinterpret_cast<size_t*>(static_cast<char*>(pointer) - sizeof(max_align_t));
    liveBytes -= *block;
    std::free(block);
}

void operator delete(void* pointer, size_t) noexcept {
    operator delete(pointer);
}

// With an argument (frame, poll or names) only that figure.
int main(int argc, char** argv) {
    std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "frame")
        BrokenFrame();
    if (only.empty() || only == "poll")
        PresencePoll();
    if (only.empty() || only == "names")
        NamesAskedAbout();
    return 0;
}
