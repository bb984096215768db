#include "recording/FeedTap.h"

#include "gst/Callbacks.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

namespace {

using Receiver = FeedTap::Receiver;

struct Sink {
    std::shared_ptr<Receiver> receiver;
    bool video;
};

GstFlowReturn onSample(GstAppSink *appsink, gpointer held)
{
    const Sink &sink = *static_cast<Sink *>(held);
    gstref::Sample sample(gst_app_sink_pull_sample(appsink));
    if (sample)
        sink.receiver->take(sample.get(), sink.video);
    return GST_FLOW_OK;
}

void onEos(GstAppSink *, gpointer held)
{
    const Sink &sink = *static_cast<Sink *>(held);
    sink.receiver->ended(sink.video);
}

} // namespace

FeedTap::~FeedTap() { end(); }

bool FeedTap::Start(std::shared_ptr<Receiver> receiver, QString &failure)
{
    receiver_ = std::move(receiver);
    QString why;
    if (!build(QStringLiteral("appsrc name=video is-live=true format=time ! appsink name=videosink sync=false "
                              "appsrc name=audio is-live=true format=time ! appsink name=audiosink sync=false"),
               why)) {
        failure = QStringLiteral("recording is not available: %1").arg(why);
        return false;
    }
    receiveFrom("videosink", true);
    receiveFrom("audiosink", false);
    // Playing before the feeds come: they stamp a buffer only once its pipeline plays.
    gst_element_set_state(pipeline(), GST_STATE_PLAYING);
    if (!attachVideo(failure))
        return false;
    sound_ = attachAudio();
    if (!sound_)
        gst_app_src_end_of_stream(GST_APP_SRC(child("audio").get()));
    return true;
}

void FeedTap::receiveFrom(const char *sinkName, bool video)
{
    GstAppSinkCallbacks callbacks{};
    callbacks.eos = onEos;
    callbacks.new_sample = onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(child(sinkName).get()), &callbacks, new Sink{receiver_, video},
                               [](gpointer held) { delete static_cast<Sink *>(held); });
}
