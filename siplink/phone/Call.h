#pragma once
// One call on libre's SIP session: its named state (CallState.h) moved only through Apply, the SIP session
// (our INVITE and its answers, or the caller's INVITE that rings here) and the call's media. It tells the
// window thread what happens (Incoming, Progress, Established, Closed) and its owner, the user agent, each
// change of state. libre's resources go with the object, which the owner deletes outside libre's handlers.
#include <memory>
#include <string>

#include "siplink/phone/CallMedia.h"
#include "siplink/phone/CallState.h"
#include "siplink/phone/Credentials.h"
#include "siplink/phone/EventQueue.h"
#include "siplink/phone/SipEndpoint.h"

namespace phone {

class Call {
  public:
    class Owner {
      public:
        // The call went from `from` to its present state.
        virtual void CallChanged(Call& call, CallState from) = 0;

      protected:
        ~Owner() = default;
    };

    Call(CallId id, Owner& owner, SipEndpoint& endpoint, const Settings& settings, Playout& playout,
         EventQueue& events);
    // Hands the session back to libre, which ends it as its state asks: CANCEL, BYE or 486.
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // Places the call to `uri` (Outgoing); a failure ends it at once (Failed).
    void Dial(const std::string& uri);
    // A caller's INVITE: it rings (Incoming), or it is turned away at once with the answer sent and is
    // Terminated (no common codec: 488; an offer that cannot be read: 400); answers whether it rings.
    bool Ring(const struct sip_msg* invite);

    void Answer();
    void Hangup() { Apply(CallSignal::HungUpHere); }
    void Stop() { Apply(CallSignal::Stopped); }
    void SendDigit(char key);
    void Tick(const Frame& captured) { media.Tick(captured); }

    CallId Id() const { return id; }
    CallState State() const { return state; }
    bool Outgoing() const { return outgoing; }
    // Why it ended, once Terminated.
    CallEnd End() const { return end; }

  private:
    static int OnOffer(struct mbuf** description, const struct sip_msg* message, void* arg);
    static int OnAnswer(const struct sip_msg* message, void* arg);
    static void OnProgress(const struct sip_msg* message, void* arg);
    static void OnEstablished(const struct sip_msg* message, void* arg);
    static void OnInfo(struct sip* sip, const struct sip_msg* message, void* arg);
    static void OnClosed(int err, const struct sip_msg* message, void* arg);

    // Moves the state; the one place a call's state changes.
    void Apply(CallSignal signal, int code = 0, const std::string& reason = "");
    void Tell(Event::Kind kind);
    // The far end's description in `message`, if it has one.
    CallMedia::Remote TakeRemote(const struct sip_msg* message, bool isOffer);

    const CallId id;
    Owner& owner;
    SipEndpoint& endpoint;
    const Settings& settings;
    EventQueue& events;
    CallMedia media;
    Credentials* credentials = nullptr;
    struct sipsess* session = nullptr;
    CallState state = CallState::Outgoing;
    bool outgoing = true;
    CallEnd end = CallEnd::HungUpHere;
    // A signal chosen in a handler that made libre end the session: its close then says this.
    CallSignal closing = CallSignal::Failed;
    bool closingChosen = false;
    int endCode = 0;
    std::string endReason;
    std::string peerUri;
    std::string peerName;
};

} // namespace phone
