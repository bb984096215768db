#include "live/RtmpPush.h"

#include "gst/Callbacks.h"
#include "gst/Pipelines.h"

#include <QUrl>

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <iterator>
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

using State = RtmpPush::State;
using gstcall::Hold;
using gstcall::Release;
State &stateOf(gpointer held) { return gstcall::Held<State>(held); }

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

// The element says some reasons twice, "Connection refused: Could not connect to host:
// Connection refused": once is enough.
QString OneReason(const QString &text)
{
    const qsizetype colon = text.indexOf(QStringLiteral(": "));
    if (colon <= 0)
        return text;
    const QString rest = text.mid(colon + 2);
    return rest.endsWith(QStringLiteral(": ") + text.left(colon)) ? rest : text;
}

GstBusSyncReply onBusMessage(GstBus *, GstMessage *raw, gpointer data)
{
    gstref::Message message(raw);
    if (GST_MESSAGE_TYPE(raw) == GST_MESSAGE_ERROR) {
        const QString text = OneReason(pipelines::ErrorText(raw));
        stateOf(data).end(text, failureOf(text.toUtf8(), pipelines::ErrorDetails(raw).toUtf8()));
    }
    return GST_BUS_DROP;
}

// The shared encoder gave up on its consumers: a stream without a picture is no stream.
GstPadProbeReturn onPictureEvent(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS)
        stateOf(data).end(QStringLiteral("the picture ended"), RtmpPush::Failure::Network);
    return GST_PAD_PROBE_OK;
}

// The pipeline plays on GStreamer's thread pool: the element resolves and connects from there.
void playAway(GstElement *pipeline, gpointer data)
{
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        stateOf(data).end(QStringLiteral("the stream could not start"), RtmpPush::Failure::Network);
}

} // namespace

RtmpPush::RtmpPush(EncodedFeed &video, EncodedFeed &audio)
    : FeedConsumer(video, &audio), state_(std::make_shared<State>())
{
}

// rtmp2sink keeps the connection of a server that would not take the stream (it lets go of
// it without closing it): what this push opened to the server and is still open once the
// pipeline is gone is closed then, or every attempt against such a server would leave one.
RtmpPush::~RtmpPush()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->ended = nullptr;
    }
    sink_.reset();
    if (GstElement *stopping = pipeline()) {
        straysockets::Inodes opened;
        std::ranges::set_difference(straysockets::ConnectedTo(port_), before_, std::inserter(opened, opened.end()));
        if (!opened.empty())
            g_object_weak_ref(
                G_OBJECT(stopping),
                [](gpointer held, GObject *) {
                    const std::unique_ptr<straysockets::Inodes> strays(static_cast<straysockets::Inodes *>(held));
                    straysockets::Close(*strays);
                },
                new straysockets::Inodes(std::move(opened)));
    }
    end();
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
    QString why;
    if (!build(description, why)) {
        failure = QStringLiteral("streaming is not available: %1").arg(why);
        return false;
    }
    sink_ = child("sink");
    port_ = static_cast<quint16>(QUrl(location).port(location.startsWith(QStringLiteral("rtmps:")) ? 443 : 1935));
    before_ = straysockets::ConnectedTo(port_);

    g_object_set(sink_.get(), "location", location.toUtf8().constData(), nullptr);
    state_->ended = std::move(ended);
    connectCallbacks();
    if (!attachVideo(failure))
        return false;
    if (!attachAudio()) // the picture goes on alone
        gst_app_src_end_of_stream(GST_APP_SRC(child("audio").get()));
    gst_element_call_async(pipeline(), playAway, Hold(state_), Release<State>);
    return true;
}

void RtmpPush::connectCallbacks()
{
    gstref::Bus bus(gst_element_get_bus(pipeline()));
    gst_bus_set_sync_handler(bus.get(), onBusMessage, Hold(state_), Release<State>);
    const gstref::Element video = child("video");
    GstPad *picture = gst_element_get_static_pad(video.get(), "src");
    gst_pad_add_probe(picture, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onPictureEvent, Hold(state_), Release<State>);
    gst_object_unref(picture);
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
