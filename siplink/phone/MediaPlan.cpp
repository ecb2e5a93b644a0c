// The far end's session description turned into what the call's media does.
#include "siplink/phone/MediaPlan.h"

#include <cctype>

namespace phone {

namespace {

bool SameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

// A format as one of our codecs: by name at 8 kHz, or by its static payload type when it has no rtpmap.
Codec CodecOf(const SdpFormat& format) {
    if (format.name.empty()) {
        if (format.pt == PcmuPt)
            return Codec::Pcmu;
        return format.pt == PcmaPt ? Codec::Pcma : Codec::None;
    }
    if (format.rate != 0 && format.rate != 8000)
        return Codec::None;
    if (SameName(format.name, "PCMU"))
        return Codec::Pcmu;
    return SameName(format.name, "PCMA") ? Codec::Pcma : Codec::None;
}

} // namespace

MediaPlan Plan(const RemoteMedia& remote) {
    MediaPlan plan;
    for (const SdpFormat& format : remote.formats) {
        if (plan.codec == Codec::None && CodecOf(format) != Codec::None) {
            plan.codec = CodecOf(format);
            plan.audioPt = format.pt;
        }
        if (plan.eventPt < 0 && SameName(format.name, "telephone-event") && format.rate == 8000)
            plan.eventPt = format.pt;
    }
    if (plan.codec == Codec::None) {
        plan.eventPt = -1;
        return plan;
    }
    plan.send = remote.hasAddress && remote.weMaySend;
    plan.receive = remote.weMayReceive;
    plan.timed = plan.send && plan.receive;
    return plan;
}

} // namespace phone
