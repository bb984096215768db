#include "live/WhepSession.h"

#include "gst/Callbacks.h"
#include "gst/Pipelines.h"
#include "live/WhepOffer.h"

#include <gst/app/gstappsrc.h>
#define GST_USE_UNSTABLE_API
#include <gst/webrtc/webrtc.h>

#include <atomic>
#include <mutex>

// What webrtcbin's callbacks reach. It outlives the session while the pipeline winds down;
// `closed` keeps the callbacks quiet from the session's end on.
struct WhepSession::State : std::enable_shared_from_this<WhepSession::State> {
    std::mutex mutex;
    bool closed = false;
    Answered answered;
    Ended ended;
    GstElement *pipeline = nullptr; // held by the session
    GstElement *webrtc = nullptr;   // held by the pipeline
    bool answerMade = false;
    QByteArray offer;
    int videoPayload = -1;
    QByteArray profileLevelId;
    bool offerGiven = false;
    std::atomic<bool> connected{false};
    // When the browser last sent us anything (its reports), monotonic microseconds.
    std::atomic<gint64> lastHeard{0};
    bool listening = false;

    // Watches what the browser sends, once its connection is up.
    void listen();

    // Gives webrtcbin the offer, once.
    void giveOffer();
    // Hands the answer over once, when it is set and gathering is complete (or now, if `now`).
    void answerIfComplete(bool now = false);
    void fail(const QString &reason);
    void end(const QString &reason);
};

namespace {

using State = WhepSession::State;
using gstcall::Hold;
using gstcall::Release;
using gstcall::ReleaseClosure;
State &stateOf(gpointer held) { return gstcall::Held<State>(held); }

QString describeVideo(const WhepOffer &offer)
{
    return QStringLiteral("appsrc name=video is-live=true format=time ! h264parse ! rtph264pay name=pay pt=%1 "
                          "aggregate-mode=zero-latency mtu=1200 ! "
                          "application/x-rtp,media=video,encoding-name=H264,payload=%1,clock-rate=90000 ! webrtc. ")
        .arg(offer.videoPayload);
}

QString describeAudio(const WhepOffer &offer)
{
    return QStringLiteral("appsrc name=audio is-live=true format=time ! opusparse ! rtpopuspay pt=%1 ! "
                          "application/x-rtp,media=audio,encoding-name=OPUS,payload=%1,clock-rate=48000 ! webrtc. ")
        .arg(offer.audioPayload);
}

// The answer takes the H.264 format of the offer (its profile-level-id included); what is
// sent must only match the packetization and payload type: constrained baseline at any
// level, which browsers decode whatever level they offered (level-asymmetry-allowed).
void preferOfferedFormat(GstElement *webrtc, const WhepOffer &offer)
{
    GstWebRTCRTPTransceiver *transceiver = nullptr;
    g_signal_emit_by_name(webrtc, "get-transceiver", 0, &transceiver);
    if (!transceiver)
        return;
    gstref::Caps caps(gst_caps_new_simple("application/x-rtp", "media", G_TYPE_STRING, "video", "encoding-name",
                                          G_TYPE_STRING, "H264", "payload", G_TYPE_INT, offer.videoPayload,
                                          "clock-rate", G_TYPE_INT, 90000, "packetization-mode", G_TYPE_STRING, "1",
                                          nullptr));
    g_object_set(transceiver, "codec-preferences", caps.get(), nullptr);
    gst_object_unref(transceiver);
}

void onGathering(GstElement *, GParamSpec *, gpointer data) { stateOf(data).answerIfComplete(); }

GstPadProbeReturn onHeard(GstPad *, GstPadProbeInfo *, gpointer data)
{
    stateOf(data).lastHeard = g_get_monotonic_time();
    return GST_PAD_PROBE_OK;
}

void onConnection(GstElement *webrtc, GParamSpec *, gpointer data)
{
    GstWebRTCICEConnectionState state = GST_WEBRTC_ICE_CONNECTION_STATE_NEW;
    g_object_get(webrtc, "ice-connection-state", &state, nullptr);
    State &shared = stateOf(data);
    if (state == GST_WEBRTC_ICE_CONNECTION_STATE_CONNECTED || state == GST_WEBRTC_ICE_CONNECTION_STATE_COMPLETED) {
        shared.connected = true;
        shared.listen();
    }
    if (state == GST_WEBRTC_ICE_CONNECTION_STATE_FAILED)
        shared.end(QStringLiteral("the connection failed"));
    else if (state == GST_WEBRTC_ICE_CONNECTION_STATE_CLOSED)
        shared.end(QStringLiteral("the connection closed"));
}

// The answer names the H.264 format exactly as offered: webrtcbin may leave the profile out
// once the stream's own caps are known, and a browser then takes it for another profile.
void statePlainFormat(GstSDPMessage *sdp, int payload, const QByteArray &profileLevelId)
{
    const QByteArray prefix = QByteArray::number(payload) + ' ';
    const QByteArray format =
        prefix + "level-asymmetry-allowed=1;packetization-mode=1;profile-level-id=" + profileLevelId;
    for (guint m = 0; m < gst_sdp_message_medias_len(sdp); ++m) {
        auto *media = const_cast<GstSDPMedia *>(gst_sdp_message_get_media(sdp, m));
        if (qstrcmp(gst_sdp_media_get_media(media), "video") != 0)
            continue;
        for (guint a = 0; a < gst_sdp_media_attributes_len(media); ++a) {
            const GstSDPAttribute *attribute = gst_sdp_media_get_attribute(media, a);
            if (qstrcmp(attribute->key, "fmtp") == 0 && QByteArray(attribute->value).startsWith(prefix))
                gst_sdp_media_remove_attribute(media, a--);
        }
        gst_sdp_media_add_attribute(media, "fmtp", format.constData());
    }
}

// The answer is made and set as ours; gathering then completes it.
void onAnswerCreated(GstPromise *promise, gpointer data)
{
    State &shared = stateOf(data);
    const GstStructure *reply = gst_promise_get_reply(promise);
    GstWebRTCSessionDescription *answer = nullptr;
    if (reply)
        gst_structure_get(reply, "answer", GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &answer, nullptr);
    gst_promise_unref(promise);
    if (!answer) {
        shared.fail(QStringLiteral("no answer could be made to the offer"));
        return;
    }
    statePlainFormat(answer->sdp, shared.videoPayload, shared.profileLevelId);
    g_signal_emit_by_name(shared.webrtc, "set-local-description", answer, nullptr);
    gst_webrtc_session_description_free(answer);
    {
        std::lock_guard lock(shared.mutex);
        shared.answerMade = true;
    }
    shared.answerIfComplete();
}

void onOfferSet(GstPromise *promise, gpointer data)
{
    State &shared = stateOf(data);
    const bool accepted = gst_promise_wait(promise) == GST_PROMISE_RESULT_REPLIED && !gst_promise_get_reply(promise);
    gst_promise_unref(promise);
    if (!accepted) {
        shared.fail(QStringLiteral("the offer was refused"));
        return;
    }
    GstPromise *answer =
        gst_promise_new_with_change_func(onAnswerCreated, Hold(shared.shared_from_this()), Release<State>);
    g_signal_emit_by_name(shared.webrtc, "create-answer", nullptr, answer);
}

// The first picture on its way to webrtcbin: its format has reached it.
GstPadProbeReturn onFirstPicture(GstPad *, GstPadProbeInfo *, gpointer data)
{
    stateOf(data).giveOffer();
    return GST_PAD_PROBE_REMOVE;
}

GstBusSyncReply onBusMessage(GstBus *, GstMessage *raw, gpointer data)
{
    gstref::Message message(raw);
    // webrtcbin's sending parts join a playing pipeline: its latency is worked out again.
    if (GST_MESSAGE_TYPE(raw) == GST_MESSAGE_LATENCY) {
        if (GstElement *pipeline = stateOf(data).pipeline)
            gst_element_call_async(
                pipeline, [](GstElement *element, gpointer) { gst_bin_recalculate_latency(GST_BIN(element)); }, nullptr,
                nullptr);
    }
    if (GST_MESSAGE_TYPE(raw) == GST_MESSAGE_ERROR) {
        const QString reason = pipelines::ErrorText(raw);
        State &shared = stateOf(data);
        shared.fail(reason);
        shared.end(reason);
    }
    return GST_BUS_DROP;
}

} // namespace

void WhepSession::State::answerIfComplete(bool now)
{
    Answered handOver;
    bool made = false;
    {
        std::lock_guard lock(mutex);
        GstWebRTCICEGatheringState gathering = GST_WEBRTC_ICE_GATHERING_STATE_NEW;
        g_object_get(webrtc, "ice-gathering-state", &gathering, nullptr);
        if (closed || !answered || (!now && (!answerMade || gathering != GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE)))
            return;
        handOver = std::move(answered);
        answered = nullptr;
        made = answerMade;
    }
    if (!made) {
        handOver({}, QStringLiteral("no answer was made in time"));
        return;
    }
    GstWebRTCSessionDescription *local = nullptr;
    g_object_get(webrtc, "local-description", &local, nullptr);
    gstref::String text(local ? gst_sdp_message_as_text(local->sdp) : nullptr);
    if (local)
        gst_webrtc_session_description_free(local);
    if (text)
        handOver(QByteArray(text.get()), {});
    else
        handOver({}, QStringLiteral("the answer has no description"));
}

void WhepSession::State::giveOffer()
{
    {
        std::lock_guard lock(mutex);
        if (closed || offerGiven)
            return;
        offerGiven = true;
    }
    GstSDPMessage *sdp = nullptr;
    gst_sdp_message_new_from_text(offer.constData(), &sdp);
    GstWebRTCSessionDescription *remote = gst_webrtc_session_description_new(GST_WEBRTC_SDP_TYPE_OFFER, sdp);
    GstPromise *set = gst_promise_new_with_change_func(onOfferSet, Hold(shared_from_this()), Release<State>);
    g_signal_emit_by_name(webrtc, "set-remote-description", remote, set);
    gst_webrtc_session_description_free(remote);
}

void WhepSession::State::listen()
{
    {
        std::lock_guard lock(mutex);
        if (closed || listening)
            return;
        listening = true;
    }
    lastHeard = g_get_monotonic_time();
    GstIterator *elements = gst_bin_iterate_recurse(GST_BIN(webrtc));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        auto *element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory *factory = gst_element_get_factory(element);
        if (factory && qstrcmp(GST_OBJECT_NAME(factory), "nicesrc") == 0) {
            GstPad *output = gst_element_get_static_pad(element, "src");
            gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_BUFFER, onHeard, Hold(shared_from_this()), Release<State>);
            gst_object_unref(output);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
}

void WhepSession::State::fail(const QString &reason)
{
    Answered handOver;
    {
        std::lock_guard lock(mutex);
        if (closed || !answered)
            return;
        handOver = std::move(answered);
        answered = nullptr;
    }
    handOver({}, reason);
}

void WhepSession::State::end(const QString &reason)
{
    Ended handOver;
    {
        std::lock_guard lock(mutex);
        if (closed || !ended)
            return;
        handOver = std::move(ended);
        ended = nullptr;
    }
    handOver(reason);
}

WhepSession::WhepSession(EncodedFeed &video, EncodedFeed *audio)
    : FeedConsumer(video, audio), audioOffered_(audio != nullptr), state_(std::make_shared<State>())
{
}

void WhepSession::close()
{
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
    state_->answered = nullptr;
    state_->ended = nullptr;
}

void WhepSession::StopNow()
{
    close();
    endNow();
}

WhepSession::~WhepSession()
{
    close();
    end();
}

bool WhepSession::Start(const WhepOffer &offer, const QByteArray &offerSdp, const QString &stunServer,
                        Answered answered, Ended ended, QString &failure)
{
    const bool withAudio = audioOffered_ && offer.audioPayload >= 0;
    const QString description = QStringLiteral("webrtcbin name=webrtc bundle-policy=max-bundle latency=0 ") +
                                describeVideo(offer) + (withAudio ? describeAudio(offer) : QString());
    QString why;
    if (!build(description, why)) {
        failure = QStringLiteral("WebRTC is not available: %1").arg(why);
        return false;
    }
    const gstref::Element webrtc = child("webrtc");
    state_->pipeline = pipeline();
    state_->webrtc = webrtc.get();
    state_->offer = offer.Normalized(offerSdp);
    state_->videoPayload = offer.videoPayload;
    state_->profileLevelId = offer.profileLevelId;
    state_->answered = std::move(answered);
    state_->ended = std::move(ended);
    if (!stunServer.isEmpty())
        g_object_set(webrtc.get(), "stun-server", stunServer.toUtf8().constData(), nullptr);
    preferOfferedFormat(webrtc.get(), offer);
    connectCallbacks(webrtc.get());
    if (gst_element_set_state(pipeline(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        failure = QStringLiteral("the WebRTC pipeline did not start");
        close();
        end();
        return false;
    }
    if (!attachVideo(failure))
        return false;
    if (withAudio)
        attachAudio();
    // The offer goes in once the first picture reaches webrtcbin: an answer made before names
    // no stream (a=ssrc), and browsers then drop what they get.
    const gstref::Element payloader = child("pay");
    GstPad *output = gst_element_get_static_pad(payloader.get(), "src");
    gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_BUFFER, onFirstPicture, Hold(state_), Release<State>);
    gst_object_unref(output);
    return true;
}

void WhepSession::connectCallbacks(GstElement *webrtc)
{
    g_signal_connect_data(webrtc, "notify::ice-gathering-state", G_CALLBACK(onGathering), Hold(state_),
                          ReleaseClosure<State>, GConnectFlags{});
    g_signal_connect_data(webrtc, "notify::ice-connection-state", G_CALLBACK(onConnection), Hold(state_),
                          ReleaseClosure<State>, GConnectFlags{});
    gstref::Bus bus(gst_element_get_bus(pipeline()));
    gst_bus_set_sync_handler(bus.get(), onBusMessage, Hold(state_), Release<State>);
}

bool WhepSession::Connected() const { return state_->connected; }

qint64 WhepSession::SilentForMs() const
{
    const gint64 heard = state_->lastHeard;
    return heard == 0 ? 0 : (g_get_monotonic_time() - heard) / 1000;
}

void WhepSession::AnswerNow() { state_->answerIfComplete(true); }
