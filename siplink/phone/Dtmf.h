#pragma once
// The handset's keys in a call as the far end gets them: RFC 4733 telephone events (0-9, * 10, # 11,
// A-D 12-15), or the body of a SIP INFO (application/dtmf-relay) when the far end offered no
// telephone-event.
#include <string>

namespace phone {

// A key is sent for this long: long enough for any detector (baresip sends at least 180 ms).
constexpr unsigned KeyToneMs = 200;

// The event number of a key; -1 for anything that is not a phone key.
int EventOf(char key);

// "Signal=5\r\nDuration=200\r\n" for a phone key; "" otherwise.
std::string InfoBody(char key);

} // namespace phone
