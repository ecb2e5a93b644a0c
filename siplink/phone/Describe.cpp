// A call's end and the account's settings in plain words and plain comparisons: no SIP library here.
#include "siplink/phone/Event.h"
#include "siplink/phone/Settings.h"

namespace phone {

namespace {

// " (486 Busy Here)", " (Network is unreachable)" or "".
std::string Because(int code, const std::string& reason) {
    if (code == 0 && reason.empty())
        return "";
    if (code == 0)
        return " (" + reason + ")";
    return " (" + std::to_string(code) + (reason.empty() ? "" : " " + reason) + ")";
}

} // namespace

std::string Describe(CallEnd end, int code, const std::string& reason) {
    const std::string why = Because(code, reason);
    switch (end) {
    case CallEnd::HungUpHere:
        return "hung up here";
    case CallEnd::HungUpThere:
        return "hung up by the far end";
    case CallEnd::CallerGaveUp:
        return "the caller gave up before the answer";
    case CallEnd::Busy:
        return "the far end is busy" + why;
    case CallEnd::Declined:
        return "the far end declined the call" + why;
    case CallEnd::NotFound:
        return "the number or address does not exist" + why;
    case CallEnd::Unavailable:
        return "the far end is not available" + why;
    case CallEnd::Refused:
        return "the call was refused" + why;
    case CallEnd::NoAnswer:
        return "no answer came in time" + why;
    case CallEnd::NoMedia:
        return "no sound came from the far end for " + std::to_string(MediaTimeoutS) + " seconds";
    case CallEnd::NoCommonCodec:
        return "the far end has no sound format in common with this phone" + why;
    case CallEnd::Malformed:
        return "the far end's session description could not be read" + why;
    case CallEnd::LineBusy:
        return "turned away: another call was up (486 Busy Here)";
    case CallEnd::Failed:
        return "the call failed here" + why;
    case CallEnd::Stopped:
        return "the phone was stopped";
    }
    return "ended";
}

bool Settings::SameAccount(const Settings& other) const {
    return user == other.user && domain == other.domain && authUser == other.authUser &&
           password == other.password && displayName == other.displayName && proxy == other.proxy &&
           transport == other.transport && registerSeconds == other.registerSeconds &&
           providerOnly == other.providerOnly && sipPort == other.sipPort;
}

} // namespace phone
