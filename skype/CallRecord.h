#pragma once
// The one current Skype call, and one Skype contact.
#include <string>

struct CallRecord {
    int outgoing = 0; // 0: incoming, created on RINGING; 1: outgoing, created on ROUTING
    std::string callId;
    std::string partnerHandle;
    std::string status;           // "RINGING", "ROUTING" or "INPROGRESS"
    bool hungUpOnHandset = false; // the end key asked Skype to finish the call
};

struct ContactRecord {
    std::string handle;
    std::string onlineStatus; // empty until Skype has reported it
};
