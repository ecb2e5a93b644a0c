// The phone's readers of what others send and users type: a NOTIFY's PIDF, a registrar's host:port, a
// dialled target, the far end's formats and direction. None may crash, and each answers within its
// promises: a presence of the four, a valid host:port that reads back the same, a SIP address that is one,
// a user part escaped so that it reads back, and a plan whose codec is one the far end offered.
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "siplink/phone/HostPort.h"
#include "siplink/phone/MediaPlan.h"
#include "siplink/phone/Pidf.h"
#include "siplink/phone/SipUri.h"

namespace {

std::string Unescaped(const std::string& escaped) {
    std::string text;
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '%' && i + 2 < escaped.size()) {
            text += static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            text += escaped[i];
        }
    }
    return text;
}

void ReadFormats(FuzzInput& input) {
    phone::RemoteMedia remote;
    uint8_t flags = input.Byte();
    remote.hasAddress = flags & 1;
    remote.weMaySend = flags & 2;
    remote.weMayReceive = flags & 4;
    // Each format: its type, then its name up to a zero byte; the rate by the flags.
    std::string rest(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
    for (size_t at = 0; at < rest.size();) {
        size_t end = rest.find('\0', at + 1);
        if (end == std::string::npos)
            end = rest.size();
        remote.formats.push_back({static_cast<uint8_t>(rest[at]) & 0x7F, rest.substr(at + 1, end - at - 1),
                                  (flags & 8) ? 16000u : 8000u});
        at = end + 1;
    }
    phone::MediaPlan plan = phone::Plan(remote);
    if (plan.codec == phone::Codec::None) {
        FUZZ_CHECK(!plan.send && !plan.receive && !plan.timed && plan.eventPt == -1);
        return;
    }
    bool offered = false;
    for (const phone::SdpFormat& format : remote.formats)
        offered = offered || format.pt == plan.audioPt;
    FUZZ_CHECK(offered);
    FUZZ_CHECK(!plan.send || (remote.hasAddress && remote.weMaySend));
    FUZZ_CHECK(!plan.timed || (plan.send && plan.receive));
}

} // namespace

FUZZ_TARGET(PhoneReaders) {
    FuzzInput input(data, size);
    const uint8_t reader = input.Byte() % 4;
    const std::string text(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
    switch (reader) {
    case 0: {
        phone::Event::PresenceState presence = phone::PresenceOf(text);
        FUZZ_CHECK(presence == phone::Event::PresenceState::Unknown ||
                   presence == phone::Event::PresenceState::Online ||
                   presence == phone::Event::PresenceState::Offline ||
                   presence == phone::Event::PresenceState::Busy);
        break;
    }
    case 1: {
        phone::HostPort where = phone::SplitHostPort(text);
        if (!where.valid)
            break;
        FUZZ_CHECK(!where.host.empty());
        const bool v6 = where.host.find(':') != std::string::npos;
        const std::string again =
            (v6 ? "[" + where.host + "]" : where.host) + (where.port ? ":" + std::to_string(where.port) : "");
        phone::HostPort reread = phone::SplitHostPort(again);
        FUZZ_CHECK(reread.valid && reread.host == where.host && reread.port == where.port);
        break;
    }
    case 2: {
        const std::string uri = phone::TargetUri(text, "example.net");
        FUZZ_CHECK(uri.empty() == text.empty());
        FUZZ_CHECK(uri.empty() || uri.rfind("sip:", 0) == 0 || uri.rfind("sips:", 0) == 0);
        const std::string user = phone::EscapeUser(text);
        FUZZ_CHECK(user.find_first_of("@:<> \"\r\n") == std::string::npos);
        FUZZ_CHECK(Unescaped(user) == text);
        break;
    }
    default:
        ReadFormats(input);
        break;
    }
    return 0;
}
