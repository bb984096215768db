#include "live/RtmpPush.h"

#include "live/EncodedFeed.h"

#include <gst/app/gstappsrc.h>

#include <mutex>

// What the bus handler reaches; it outlives the push while the pipeline winds down.
struct RtmpPush::State {
    std::mutex mutex;
    Ended ended;

    // Under the lock, so that the push's end waits for a call under way.
    void end(const QString &reason, Failure failure)
    {
        std::lock_guard lock(mutex);
        Ended handOver = std::move(ended);
        ended = nullptr;
        if (handOver)
            handOver(reason, failure);
    }
};

namespace {

using StatePointer = std::shared_ptr<RtmpPush::State>;

// A server that answers the connection or the publishing with anything but yes ends up in a
// failed command; TLS errors are the certificate's. The element names the network's own
// error (its domain) in the details.
RtmpPush::Failure failureOf(const QByteArray &message, const QByteArray &details)
{
    if (details.contains("g-tls-error-quark"))
        return RtmpPush::Failure::Certificate;
    if (message.contains("cmd failed"))
        return RtmpPush::Failure::Refused;
    return RtmpPush::Failure::Network;
}

GstBusSyncReply onBusMessage(GstBus *, GstMessage *raw, gpointer data)
{
    gstref::Message message(raw);
    auto &state = *static_cast<StatePointer *>(data);
    if (GST_MESSAGE_TYPE(raw) == GST_MESSAGE_ERROR) {
        GError *parsed = nullptr;
        gchar *rawDetails = nullptr;
        gst_message_parse_error(raw, &parsed, &rawDetails);
        gstref::Error error(parsed);
        gstref::String details(rawDetails);
        const QByteArray text = error ? QByteArray(error->message) : QByteArrayLiteral("error");
        state->end(QString::fromUtf8(text), failureOf(text, QByteArray(details ? details.get() : "")));
    }
    return GST_BUS_DROP;
}

// The shared encoder gave up on its consumers: a stream without a picture is no stream.
GstPadProbeReturn onPictureEvent(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS)
        (*static_cast<StatePointer *>(data))->end(QStringLiteral("the picture ended"), RtmpPush::Failure::Network);
    return GST_PAD_PROBE_OK;
}

// The pipeline plays on GStreamer's thread pool: the element resolves and connects from there.
void playAway(GstElement *pipeline, gpointer data)
{
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        (*static_cast<StatePointer *>(data))
            ->end(QStringLiteral("the stream could not start"), RtmpPush::Failure::Network);
}

} // namespace

RtmpPush::RtmpPush(EncodedFeed &video, EncodedFeed &audio)
    : video_(video), audio_(audio), state_(std::make_shared<State>())
{
}

RtmpPush::~RtmpPush()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->ended = nullptr;
    }
    if (videoId_)
        video_.detach(videoId_);
    if (audioId_)
        audio_.detach(audioId_);
    sink_.reset();
    EncodedFeed::StopLater(std::move(pipeline_));
}

bool RtmpPush::Start(const QString &location, Ended ended, QString &failure)
{
    // The muxer waits a little for the later of picture and sound, so both go out in order.
    // Each appsrc pushes from a thread of its own: no queue is needed before the muxer.
    const QString description =
        QStringLiteral("appsrc name=video ! h264parse ! flvmux name=mux streamable=true latency=200000000 ! "
                       "rtmp2sink name=sink sync=false async-connect=true timeout=%1 "
                       "appsrc name=audio ! aacparse ! mux.")
            .arg(TimeoutSeconds);
    GError *raw = nullptr;
    gstref::Element pipeline(gst_parse_launch(description.toUtf8().constData(), &raw));
    gstref::Error error(raw);
    if (!pipeline || error) {
        failure =
            QStringLiteral("streaming is not available: %1").arg(error ? QString::fromUtf8(error->message) : QString());
        return false;
    }
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(pipeline.release())));
    sink_.reset(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "sink"));
    g_object_set(sink_.get(), "location", location.toUtf8().constData(), nullptr);
    state_->ended = std::move(ended);
    gstref::Bus bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), onBusMessage, new StatePointer(state_),
                             [](gpointer held) { delete static_cast<StatePointer *>(held); });
    gstref::Element video(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "video"));
    gstref::Element audio(gst_bin_get_by_name(GST_BIN(pipeline_.get()), "audio"));
    GstPad *picture = gst_element_get_static_pad(video.get(), "src");
    gst_pad_add_probe(picture, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onPictureEvent, new StatePointer(state_),
                      [](gpointer held) { delete static_cast<StatePointer *>(held); });
    gst_object_unref(picture);
    videoId_ = video_.attach(GST_APP_SRC(video.get()));
    if (!videoId_) {
        failure = QStringLiteral("the encoder did not start: %1").arg(video_.failure());
        return false;
    }
    audioId_ = audio_.attach(GST_APP_SRC(audio.get()));
    if (!audioId_) // the picture goes on alone
        gst_app_src_end_of_stream(GST_APP_SRC(audio.get()));
    gst_element_call_async(pipeline_.get(), playAway, new StatePointer(state_),
                           [](gpointer held) { delete static_cast<StatePointer *>(held); });
    return true;
}

qint64 RtmpPush::BytesSent() const
{
    if (!sink_)
        return -1;
    GstStructure *stats = nullptr;
    g_object_get(sink_.get(), "stats", &stats, nullptr);
    guint64 sent = 0;
    const bool known = stats && gst_structure_get_uint64(stats, "out-bytes-total", &sent);
    if (stats)
        gst_structure_free(stats);
    return known && sent > 0 ? static_cast<qint64>(sent) : -1;
}
