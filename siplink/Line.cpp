#include "siplink/Line.h"

namespace {

// The part the phone takes for the call up and the next without registering anew: devices and tones.
bool SameSound(const Account& a, const std::string& aCountry, const Account& b, const std::string& bCountry) {
    return a.speaker == b.speaker && a.microphone == b.microphone && aCountry == bCountry;
}

} // namespace

void Line::Start(const Account& stored, const std::string& country, uint32_t nowMs) {
    if (!phone) {
        account = stored;
        registration.NoPhone();
        output.Log("REGISTRATION", Describe());
        output.Changed();
        return;
    }
    Use(stored, country, nowMs);
}

void Line::Stored(const Account& stored, const std::string& country, uint32_t nowMs) {
    if (!phone)
        return;
    // The phone's own rule of what a registration is made of: a change there registers anew.
    bool sameRegistration = PhoneSettings(stored, country).SameAccount(PhoneSettings(account, countryCode));
    bool sameSound = SameSound(stored, country, account, countryCode);
    if (sameRegistration)
        waiting.reset();
    if (sameRegistration && sameSound) {
        // Apply pressed again after a failure asks for a try now; while registered it changes nothing.
        if (registration.Current() == Registration::State::Refused ||
            registration.Current() == Registration::State::Unreachable) {
            output.Log("ACCOUNT", "unchanged, registering again now");
            phone->Register();
            registration.Requested(nowMs);
        } else {
            output.Log("ACCOUNT", "unchanged");
        }
        output.Changed();
        return;
    }
    if (!sameRegistration && !link.InCall()) {
        Use(stored, country, nowMs);
        return;
    }
    // Devices and tones go to the phone at once (it takes them from the next call on); a changed
    // registration waits for the end of the call.
    if (!sameSound) {
        account.speaker = stored.speaker;
        account.microphone = stored.microphone;
        countryCode = country;
        if (account.Problem().empty())
            phone->Apply(PhoneSettings(account, countryCode), false);
        output.Log("ACCOUNT", "sound devices or tones changed: speaker \"" + account.speaker +
                                  "\", microphone \"" + account.microphone + "\", country " + countryCode);
    }
    if (!sameRegistration) {
        waiting.emplace(stored, country);
        output.Log("ACCOUNT", "changed in a call: used once the call is over");
    }
    output.Changed();
}

void Line::OnRegistration(const phone::Event& event, uint32_t nowMs) {
    registration.OnPhone(event.registration, event.code, event.reason, nowMs);
    output.Log("REGISTRATION", Describe());
    UpdateOffer();
    output.Changed();
}

void Line::Review(uint32_t nowMs) {
    if (waiting && !link.InCall()) {
        auto [next, country] = *waiting;
        Use(next, country, nowMs);
        return;
    }
    UpdateOffer();
}

void Line::Tick(uint32_t nowMs) {
    if (!phone || !registration.RetryDue(nowMs))
        return;
    phone->Register();
    registration.Requested(nowMs);
    output.Log("REGISTRATION", Describe());
    output.Changed();
}

void Line::Close() {
    bool wasOffered = offered;
    offered = false;
    link.LineLost();
    if (wasOffered)
        output.Offer(false);
}

std::string Line::Describe() const {
    std::string who = account.address.empty() ? "" : account.address + ": ";
    return who + registration.Describe() +
           (waiting ? " The changed account is used once the call is over." : "");
}

void Line::Use(const Account& next, const std::string& country, uint32_t nowMs) {
    account = next;
    countryCode = country;
    waiting.reset();
    std::string problem = account.Problem();
    if (problem.empty()) {
        // Registered anew even when the phone has these settings already: it was unregistered meanwhile.
        phone->Apply(PhoneSettings(account, countryCode), true);
        registration.Begin(nowMs);
    } else {
        phone->Unregister();
        registration.NoAccount(problem);
    }
    output.Log("REGISTRATION", Describe());
    UpdateOffer();
    output.Changed();
}

void Line::UpdateOffer() {
    bool wanted = registration.Registered() || (offered && link.InCall());
    if (wanted == offered)
        return;
    offered = wanted;
    output.Log(offered ? "LINE" : "LINE-GONE", Describe());
    if (offered) {
        output.Offer(true);
    } else {
        // The program hears its user logged out while the API window is still there to tell it.
        link.LineLost();
        output.Offer(false);
    }
}
