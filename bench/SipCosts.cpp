// What the program's contacts and questions can cost SipLink's window, in process with a phone that does
// nothing: a contacts file of 5,000 read again, a presence change the phone reports when the program asked
// about all 5,000, and the memory kept after the program asked about 100,000 names that are no contacts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "siplink/SipLink.h"

namespace {

// Bytes allocated and not yet freed, counted by the operators below.
size_t liveBytes = 0;

class Quiet : public LinkOutput, public PhonePort {
  public:
    bool Notify(const std::string&) override {
        ++notes;
        return true;
    }
    void Log(const std::string&, const std::string&) override {}

    void Apply(const phone::Settings&, bool) override {}
    void Register() override {}
    void Unregister() override {}
    phone::CallId Dial(const std::string&) override { return 1; }
    void Answer(phone::CallId) override {}
    void Hangup(phone::CallId) override {}
    void SendDigit(phone::CallId, char) override {}
    void WatchPresence(const std::vector<std::string>&) override {}
    void DevicesChanged() override {}
    std::vector<phone::Event> TakeEvents() override { return {}; }

    size_t notes = 0;
};

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

std::string ContactsFile(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "\"user" + std::to_string(i) + "\" <sip:user" + std::to_string(i) + "@127.0.0.1:5080>\n";
    return text;
}

phone::Event PresenceOf(int contact, phone::Event::PresenceState presence) {
    phone::Event event;
    event.kind = phone::Event::Kind::Presence;
    event.peerUri = "sip:user" + std::to_string(contact) + "@127.0.0.1:5080";
    event.presence = presence;
    return event;
}

void ContactsAndPresence() {
    constexpr int Contacts = 5000;
    Quiet quiet;
    SipLink link(quiet, quiet);
    std::string file = ContactsFile(Contacts);
    auto start = std::chrono::steady_clock::now();
    link.SetContacts(ParseContactsFile(file));
    std::printf("a contacts file of %d read: %.1f ms\n", Contacts, Ms(start));
    for (int i = 0; i < Contacts; ++i)
        link.Command("GET USER user" + std::to_string(i) + " ONLINESTATUS");
    double longest = 0, total = 0;
    constexpr int Changes = 200;
    for (int i = 0; i < Changes; ++i) {
        size_t before = quiet.notes;
        start = std::chrono::steady_clock::now();
        link.OnPhoneEvent(PresenceOf(i, i % 2 ? phone::Event::PresenceState::Offline
                                              : phone::Event::PresenceState::Online));
        double ms = Ms(start);
        longest = std::max(longest, ms);
        total += ms;
        if (quiet.notes - before != 1)
            std::printf("  (change %d told %zu notes, not 1)\n", i, quiet.notes - before);
    }
    std::printf("a presence change, %d contacts all asked about: %.2f ms average, %.2f ms longest\n",
                Contacts, total / Changes, longest);
    start = std::chrono::steady_clock::now();
    link.SetContacts(ParseContactsFile(file));
    std::printf("the same file read again: %.1f ms\n", Ms(start));
}

void NamesAskedAbout() {
    constexpr int Names = 100000;
    Quiet quiet;
    SipLink link(quiet, quiet);
    link.SetContacts(ParseContactsFile(ContactsFile(10)));
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

// With an argument (contacts or names) only that figure.
int main(int argc, char** argv) {
    std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "contacts")
        ContactsAndPresence();
    if (only.empty() || only == "names")
        NamesAskedAbout();
    return 0;
}
