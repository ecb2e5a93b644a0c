// The phone keys as RFC 4733 events and SIP INFO bodies.
#include "siplink/phone/Dtmf.h"

namespace phone {

int EventOf(char key) {
    if (key >= '0' && key <= '9')
        return key - '0';
    switch (key) {
    case '*':
        return 10;
    case '#':
        return 11;
    case 'A':
    case 'a':
        return 12;
    case 'B':
    case 'b':
        return 13;
    case 'C':
    case 'c':
        return 14;
    case 'D':
    case 'd':
        return 15;
    default:
        return -1;
    }
}

std::string InfoBody(char key) {
    if (EventOf(key) < 0)
        return "";
    char signal = key >= 'a' && key <= 'd' ? static_cast<char>(key - 'a' + 'A') : key;
    return std::string("Signal=") + signal + "\r\nDuration=" + std::to_string(KeyToneMs) + "\r\n";
}

} // namespace phone
