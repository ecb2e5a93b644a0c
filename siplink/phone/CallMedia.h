#pragma once
// A call's sound on the network: its RTP socket (an even port from the user's range, RTCP above it), our
// session description (PCMU, PCMA, telephone-event 101) and the far end's, the codec both speak, and the
// packets both ways. Out: a frame from the microphone each time the sound thread hands one, or an RFC 4733
// event while a key is sent. In: RTP of the agreed types from the one source that sent it first (symmetric
// RTP: once the far end's packets come, ours go back where they come from, so a phone behind a home router
// is heard both ways), through libre's jitter buffer, decoded, to the speaker. Anything else at the port
// (garbage, strangers, other payload types) is dropped. An established call whose far end falls silent
// for MediaTimeoutS is reported.
#include <cstdint>
#include <functional>
#include <vector>

#include "siplink/phone/Libre.h"
#include "siplink/phone/MediaPlan.h"
#include "siplink/phone/Playout.h"

namespace phone {

struct Settings;

class CallMedia {
  public:
    enum class Remote { Usable, NoCommonCodec, Malformed };

    // `silent` is called (from a libre timer) when the far end has sent nothing for MediaTimeoutS while
    // timed.
    CallMedia(Playout& playout, std::function<void()> silent);
    ~CallMedia();
    CallMedia(const CallMedia&) = delete;
    CallMedia& operator=(const CallMedia&) = delete;

    // Takes an RTP port on the local address; answers 0 or libre's error.
    int Open(const struct sa& local, const Settings& settings);

    // Our offer (a new mbuf to free, null on failure).
    struct mbuf* Offer();
    // The far end's description, an answer to our offer or an offer of its own. Unusable, it changes
    // nothing of the media as they were.
    Remote TakeRemote(struct mbuf* body, bool isOffer);
    // Our answer to the offer just taken (a new mbuf to free, null on failure).
    struct mbuf* Answer();
    // Whether a usable description of the far end's came.
    bool HasRemote() const { return plan.codec != Codec::None; }

    // Whether the far end's sound plays (early media, established) and ours goes out (established).
    void SetFlow(bool play, bool talk);

    // The sound thread's pace: one captured frame out (or an event packet), one frame to the speaker.
    void Tick(const Frame& captured);

    // Sends the key as an RFC 4733 event for KeyToneMs; false when the far end takes no events.
    bool SendEvent(int event);

    uint32_t Sent() const { return sent; }
    uint32_t Received() const { return received; }

  private:
    static void OnRtp(const struct sa* source, const struct rtp_header* header, struct mbuf* payload,
                      void* arg);
    static void OnWatch(void* arg);
    static void OnEventEnd(void* arg);
    void Use(const MediaPlan& next);
    void Send(const Frame& captured);
    void Play();

    Playout& playout;
    const std::function<void()> silent;
    struct rtp_sock* rtp = nullptr;
    struct sdp_session* sdp = nullptr;
    struct sdp_media* audio = nullptr;
    struct jbuf* jitter = nullptr;
    struct telev* events = nullptr;
    MediaPlan plan;
    bool play = false;
    bool talk = false;
    struct sa sdpAddress; // the far end's, as its description gave it
    struct sa sendTo;     // the far end's SDP address, then where its RTP comes from
    bool latched = false; // sendTo is the source of the far end's packets
    bool rtcpStarted = false;
    uint32_t farSsrc = 0;
    uint32_t timestamp; // of our next frame
    uint32_t eventTimestamp = 0;
    uint32_t sent = 0;
    uint32_t received = 0;
    uint64_t lastHeard = 0;       // tmr_jiffies() of the far end's last packet we took
    std::vector<int16_t> pending; // decoded, not yet a whole frame
    struct tmr watch;
    struct tmr eventEnd;
};

} // namespace phone
