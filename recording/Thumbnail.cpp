#include "recording/Thumbnail.h"

#include "gst/Pipelines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace thumbnail {

namespace {

// The pipeline keeps itself until its picture is written or it failed (a partial file is
// removed then).
struct Making {
    gstref::Element pipeline;
    QString picture;
    std::atomic_flag over; // the end and an error may come on two threads
};

GstBusSyncReply onBusMessage(GstBus *, GstMessage *raw, gpointer held)
{
    gstref::Message message(raw);
    auto *making = static_cast<Making *>(held);
    const GstMessageType type = GST_MESSAGE_TYPE(raw);
    if ((type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) && !making->over.test_and_set()) {
        if (type == GST_MESSAGE_ERROR)
            QFile::remove(making->picture);
        pipelines::StopLater(std::move(making->pipeline));
    }
    return GST_BUS_DROP;
}

} // namespace

void MakeLater(const QString &recording, const QString &picture)
{
    QDir().mkpath(QFileInfo(picture).path());
    QString failure;
    gstref::Element pipeline = pipelines::FromText(
        QStringLiteral("filesrc name=in ! qtdemux name=demux demux.video_0 ! queue ! h264parse ! decodebin ! "
                       "videoconvert ! videoscale ! video/x-raw,width=320,pixel-aspect-ratio=1/1 ! "
                       "jpegenc snapshot=true quality=80 ! filesink name=out"),
        failure);
    if (!pipeline)
        return;
    g_object_set(pipelines::Child(pipeline.get(), "in").get(), "location", recording.toUtf8().constData(), nullptr);
    g_object_set(pipelines::Child(pipeline.get(), "out").get(), "location", picture.toUtf8().constData(), nullptr);
    GstElement *raw = pipeline.get();
    auto *making = new Making{std::move(pipeline), picture, {}};
    gst_bus_set_sync_handler(gstref::Bus(gst_element_get_bus(raw)).get(), onBusMessage, making,
                             [](gpointer held) { delete static_cast<Making *>(held); });
    // A file that cannot be read ends in an error on the bus, which takes the pipeline down.
    gst_element_set_state(raw, GST_STATE_PLAYING);
}

} // namespace thumbnail
