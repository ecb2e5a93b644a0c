#pragma once
// What the phone does with the far end's session description: which codec it speaks, whether RFC 4733
// events can carry the keys, and whether sound goes out, is expected in, or neither (hold). Plain C++: the
// SIP side reads libre's SDP into RemoteMedia.
#include <string>
#include <vector>

namespace phone {

// Our formats, offered in this order: PCMU first (Europe's providers take both), then PCMA, and the
// telephone-event payload type by custom.
constexpr int PcmuPt = 0;
constexpr int PcmaPt = 8;
constexpr int EventPt = 101;

struct SdpFormat {
    int pt = -1;
    std::string name; // "PCMU", "telephone-event"; empty for a static type without rtpmap
    unsigned rate = 0;
};

struct RemoteMedia {
    std::vector<SdpFormat> formats; // as the far end listed them, its preference first
    bool hasAddress = false;        // a connection address other than 0.0.0.0 (the old way of holding)
    // The far end's direction attribute seen from our side: sendonly there means we may not send.
    bool weMaySend = true;
    bool weMayReceive = true;
};

enum class Codec { None, Pcmu, Pcma };

struct MediaPlan {
    Codec codec = Codec::None;
    int audioPt = -1;
    int eventPt = -1;     // the far end's telephone-event type; -1: keys go as SIP INFO
    bool send = false;    // our sound goes out
    bool receive = false; // the far end's sound is played
    bool timed = false;   // the far end is due to send sound all the time: its silence ends the call
};

// The codec is the far end's first one of ours (in an answer its only one); no common one: codec None.
MediaPlan Plan(const RemoteMedia& remote);

} // namespace phone
