// The call's RTP: our offer and the far end's description, the packets out and in.
#include "siplink/phone/CallMedia.h"

#include "siplink/phone/Dtmf.h"
#include "siplink/phone/Event.h"
#include "siplink/phone/G711.h"
#include "siplink/phone/Settings.h"

namespace phone {

namespace {

// libre's jitter buffer, in frames: playing starts with two queued (20-40 ms of network jitter absorbed),
// at most ten wait (more means the far end's clock runs ahead: the oldest go).
constexpr uint32_t JitterMin = 1;
constexpr uint32_t JitterMax = 10;
// A far end's packet holds at most this much sound (60 ms of G.711); bigger ones are not RTP of a call.
constexpr size_t MaxPayload = 480;
constexpr size_t MaxPending = 3 * FrameSamples;
constexpr uint32_t WatchMs = 1000;

int16_t Decode(Codec codec, uint8_t code) {
    return codec == Codec::Pcma ? AlawToLinear(code) : UlawToLinear(code);
}

uint8_t Encode(Codec codec, int16_t sample) {
    return codec == Codec::Pcma ? LinearToAlaw(sample) : LinearToUlaw(sample);
}

} // namespace

CallMedia::CallMedia(Playout& speaker, std::function<void()> onSilent)
    : playout(speaker), silent(std::move(onSilent)), timestamp(rand_u32()) {
    sa_init(&sendTo, AF_UNSPEC);
    sa_init(&sdpAddress, AF_UNSPEC);
    tmr_init(&watch);
    tmr_init(&eventEnd);
}

CallMedia::~CallMedia() {
    tmr_cancel(&watch);
    tmr_cancel(&eventEnd);
    mem_deref(rtp);
    mem_deref(sdp);
    mem_deref(jitter);
    mem_deref(events);
}

int CallMedia::Open(const struct sa& local, const Settings& settings) {
    int err = rtp_listen(&rtp, IPPROTO_UDP, &local, settings.rtpPortMin, settings.rtpPortMax, true, OnRtp,
                         nullptr, this);
    if (!err)
        err = jbuf_alloc(&jitter, JitterMin, JitterMax);
    if (!err)
        err = telev_alloc(&events, FrameSamples * 1000 / SampleRate);
    if (!err)
        err = sdp_session_alloc(&sdp, &local);
    if (!err)
        err = sdp_media_add(&audio, sdp, "audio", sa_port(rtp_local(rtp)), "RTP/AVP");
    if (!err)
        err = sdp_format_add(nullptr, audio, false, "0", "PCMU", SampleRate, 1, nullptr, nullptr, nullptr,
                             false, nullptr);
    if (!err)
        err = sdp_format_add(nullptr, audio, false, "8", "PCMA", SampleRate, 1, nullptr, nullptr, nullptr,
                             false, nullptr);
    if (!err)
        err = sdp_format_add(nullptr, audio, false, "101", telev_rtpfmt, SampleRate, 1, nullptr, nullptr,
                             nullptr, false, "0-15");
    if (!err)
        err = sdp_media_set_lattr(audio, true, "ptime", "%u", FrameSamples * 1000 / SampleRate);
    return err;
}

struct mbuf* CallMedia::Offer() {
    struct mbuf* offer = nullptr;
    return sdp_encode(&offer, sdp, true) == 0 ? offer : nullptr;
}

struct mbuf* CallMedia::Answer() {
    struct mbuf* answer = nullptr;
    return sdp_encode(&answer, sdp, false) == 0 ? answer : nullptr;
}

CallMedia::Remote CallMedia::TakeRemote(struct mbuf* body, bool isOffer) {
    if (!body || sdp_decode(sdp, body, isOffer) != 0)
        return Remote::Malformed;
    RemoteMedia remote;
    const struct list* formats = sdp_media_format_lst(audio, false);
    for (struct le* entry = formats ? formats->head : nullptr; entry; entry = entry->next) {
        const struct sdp_format* format = static_cast<const struct sdp_format*>(entry->data);
        remote.formats.push_back({format->pt, format->name ? format->name : "", format->srate});
    }
    remote.hasAddress = sa_isset(sdp_media_raddr(audio), SA_ADDR);
    // libre keeps the far end's direction as seen from our side.
    const enum sdp_dir direction = sdp_media_rdir(audio);
    remote.weMaySend = (direction & SDP_SENDONLY) != 0;
    remote.weMayReceive = (direction & SDP_RECVONLY) != 0;
    MediaPlan next = Plan(remote);
    if (sdp_media_rport(audio) == 0 || next.codec == Codec::None)
        return Remote::NoCommonCodec;
    Use(next);
    return Remote::Usable;
}

void CallMedia::Use(const MediaPlan& next) {
    plan = next;
    const struct sa* address = sdp_media_raddr(audio);
    // A new address (a re-INVITE moving the call) is taken as it is until its packets come.
    if (!sa_cmp(address, &sdpAddress, SA_ALL)) {
        sdpAddress = *address;
        sendTo = *address;
        latched = false;
    }
    if (!rtcpStarted && plan.send) {
        struct sa rtcpAddress;
        sdp_media_raddr_rtcp(audio, &rtcpAddress);
        rtcp_start(rtp, "siplink", &rtcpAddress);
        rtcpStarted = true;
    }
    SetFlow(play, talk);
}

void CallMedia::SetFlow(bool playing, bool talking) {
    const bool wasTimed = talk && plan.timed;
    play = playing;
    talk = talking;
    if (!(talk && plan.timed)) {
        tmr_cancel(&watch);
    } else if (!wasTimed) {
        lastHeard = tmr_jiffies();
        tmr_start(&watch, WatchMs, OnWatch, this);
    }
}

void CallMedia::OnWatch(void* arg) {
    CallMedia* media = static_cast<CallMedia*>(arg);
    if (tmr_jiffies() - media->lastHeard >= MediaTimeoutS * 1000ull) {
        media->silent();
        return;
    }
    tmr_start(&media->watch, WatchMs, OnWatch, media);
}

void CallMedia::OnRtp(const struct sa* source, const struct rtp_header* header, struct mbuf* payload,
                      void* arg) {
    CallMedia* media = static_cast<CallMedia*>(arg);
    const MediaPlan& plan = media->plan;
    if (plan.codec == Codec::None || header->ver != RTP_VERSION ||
        (header->pt != plan.audioPt && header->pt != plan.eventPt))
        return;
    if (media->latched && !sa_cmp(source, &media->sendTo, SA_ALL))
        return;
    if (!media->latched) {
        media->sendTo = *source;
        media->latched = true;
    }
    media->lastHeard = tmr_jiffies();
    ++media->received;
    const size_t size = mbuf_get_left(payload);
    if (header->pt != plan.audioPt || !media->play || size == 0 || size > MaxPayload)
        return;
    // Another source of the far end's (a re-INVITE, a far end restarted): its numbering starts anew.
    if (header->ssrc != media->farSsrc) {
        jbuf_flush(media->jitter);
        media->farSsrc = header->ssrc;
    }
    struct mbuf* copy = mbuf_alloc(size);
    if (!copy)
        return;
    mbuf_write_mem(copy, mbuf_buf(payload), size);
    copy->pos = 0;
    jbuf_put(media->jitter, header, copy);
    mem_deref(copy);
}

void CallMedia::Tick(const Frame& captured) {
    Send(captured);
    Play();
}

void CallMedia::Send(const Frame& captured) {
    const uint32_t now = timestamp;
    timestamp += FrameSamples;
    if (!talk || !plan.send || !sa_isset(&sendTo, SA_ALL))
        return;
    struct mbuf* packet = mbuf_alloc(RTP_HEADER_SIZE + FrameSamples);
    if (!packet)
        return;
    packet->pos = packet->end = RTP_HEADER_SIZE;
    // While a key is sent its event packets take the place of the sound.
    bool marker = false;
    if (plan.eventPt >= 0 && telev_poll(events, &marker, packet) == 0) {
        if (marker)
            eventTimestamp = now;
        packet->pos = RTP_HEADER_SIZE;
        if (rtp_send(rtp, &sendTo, false, marker, static_cast<uint8_t>(plan.eventPt), eventTimestamp,
                     packet) == 0)
            ++sent;
    } else {
        for (int16_t sample : captured)
            mbuf_write_u8(packet, Encode(plan.codec, sample));
        packet->pos = RTP_HEADER_SIZE;
        if (rtp_send(rtp, &sendTo, false, sent == 0, static_cast<uint8_t>(plan.audioPt), now, packet) == 0)
            ++sent;
    }
    mem_deref(packet);
}

void CallMedia::Play() {
    if (!play)
        return;
    // The far end's packets need not hold 20 ms each: their samples are framed anew.
    while (pending.size() < FrameSamples) {
        struct rtp_header header;
        void* taken = nullptr;
        if (jbuf_get(jitter, &header, &taken) != 0)
            break;
        struct mbuf* packet = static_cast<struct mbuf*>(taken);
        while (mbuf_get_left(packet) && pending.size() < MaxPending)
            pending.push_back(Decode(plan.codec, mbuf_read_u8(packet)));
        mem_deref(packet);
    }
    if (pending.size() < FrameSamples)
        return;
    Frame frame;
    std::copy(pending.begin(), pending.begin() + FrameSamples, frame.begin());
    pending.erase(pending.begin(), pending.begin() + FrameSamples);
    playout.Push(frame);
}

bool CallMedia::SendEvent(int event) {
    if (plan.eventPt < 0 || event < 0 || telev_send(events, event, false) != 0)
        return false;
    tmr_start(&eventEnd, KeyToneMs, OnEventEnd, this);
    return true;
}

void CallMedia::OnEventEnd(void* arg) {
    CallMedia* media = static_cast<CallMedia*>(arg);
    telev_send(media->events, 0, true);
}

} // namespace phone
