#pragma once
// The handset's calls list: the last calls, missed, answered and dialled, newest first, the missed calls
// the user has not looked at yet, and paging through the list on the handset. Plain C++, no window; the
// owner stores it through its text lines.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

enum class CallKind : char { Missed = 'M', Answered = 'A', Dialled = 'D' };

struct CallEntry {
    CallKind kind = CallKind::Dialled;
    std::string target; // the number or handle as received or dialled; empty for a withheld caller
    std::string name;   // the contact's name when one matched, else empty
};

constexpr size_t CallLogCapacity = 30;
// A handle or SIP address fits with room to spare; anything longer from a client is cut.
constexpr size_t MaxCallTargetLength = 128;
constexpr size_t MaxCallNameLength = 64;
// What a caller with no number shows, on the ring and in the list.
constexpr const char* WithheldText = "Withheld";

class CallLog {
  public:
    // Newest first; the oldest beyond the capacity goes. Control characters are dropped and the fields
    // cut to their limits (never inside a UTF-8 character). A missed call counts as not looked at unless
    // the user saw it ring and turned it away.
    void Add(CallKind kind, const std::string& target, const std::string& name, bool unseen = true);

    const std::deque<CallEntry>& Entries() const { return entries; }
    unsigned UnseenMissed() const { return unseenMissed; }
    // The newest dialled call, nullptr when none.
    const CallEntry* LastDialled() const;

    // Browsing: the newest entry (and every missed call counts as looked at), then each older one,
    // wrapping to the newest. nullptr while the list is empty.
    const CallEntry* BrowseFirst();
    const CallEntry* BrowseNext();

    // The stored form: one line per entry, newest first ("M\ttarget\tname").
    std::vector<std::string> Lines() const;
    // Takes a stored list; false, leaving the list empty, when any line is damaged or there are too many.
    bool Restore(const std::vector<std::string>& lines, unsigned unseen);

  private:
    unsigned MissedEntries() const;

    std::deque<CallEntry> entries;
    unsigned unseenMissed = 0;
    size_t browsed = 0; // the entry shown while browsing
};

// What the handset shows for an entry: a mark for its kind ('!' missed, '*' answered, '>' dialled, as the
// handset shows a call being answered and dialled), then the name, the number or the withheld word.
std::string CallEntryText(const CallEntry& entry);

// The entry's stored line, and back; nullopt for a damaged line.
std::string CallEntryLine(const CallEntry& entry);
std::optional<CallEntry> ParseCallEntryLine(const std::string& line);

// A call's length on the handset: "Call mm:ss" (minutes go on past 99).
std::string CallTimeText(unsigned long long ms);
