#pragma once
// A contact's presence out of a PIDF document (RFC 3863) as NOTIFYs carry it: <basic>open</basic> is
// online, closed offline; an open one whose activities or note say busy, on the phone or do not disturb
// (RPID, RFC 4480) is busy. Anything else is unknown. Plain C++: a few tags, not an XML parser.
#include <string>

#include "siplink/phone/Event.h"

namespace phone {

Event::PresenceState PresenceOf(const std::string& pidf);

} // namespace phone
