#include "recording/ClipWriter.h"

#include "gst/Callbacks.h"
#include "gst/Pipelines.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>

#include <chrono>
#include <condition_variable>
#include <mutex>

struct ClipWriter::State {
    std::mutex mutex;
    Ended ended;
    // Until the file is open, a failure is kept for the one who opens it.
    bool opened = false;
    QString openingFailure;
    std::condition_variable done;
    bool ended_ = false;

    void end(bool written, const QString &reason)
    {
        std::lock_guard lock(mutex);
        if (!opened) {
            openingFailure = written ? QString() : reason;
            return;
        }
        Ended handOver = std::move(ended);
        ended = nullptr;
        if (handOver)
            handOver(written, reason);
        ended_ = true;
        done.notify_all();
    }
};

namespace {

using State = ClipWriter::State;

// At most this much may wait for the disk before the clip gives up: a disk that slow loses
// the recording either way, and memory must not grow without end.
constexpr guint64 MostWaiting = 64 * 1024 * 1024;

GstBusSyncReply onBusMessage(GstBus *, GstMessage *raw, gpointer held)
{
    gstref::Message message(raw);
    State &state = gstcall::Held<State>(held);
    if (GST_MESSAGE_TYPE(raw) == GST_MESSAGE_EOS)
        state.end(true, QString());
    else if (GST_MESSAGE_TYPE(raw) == GST_MESSAGE_ERROR)
        state.end(false, pipelines::ErrorText(raw));
    return GST_BUS_DROP;
}

GstFlowReturn pushed(GstElement *source, GstSample *sample, GstClockTime time)
{
    GstBuffer *buffer = gst_buffer_copy(gst_sample_get_buffer(sample)); // the bytes stay shared
    GST_BUFFER_PTS(buffer) = time;
    GST_BUFFER_DTS(buffer) = time; // no B-frames: decoded in the order shown
    return gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
}

} // namespace

std::unique_ptr<ClipWriter> ClipWriter::Open(const QString &path, GstCaps *video, GstCaps *audio, Ended ended,
                                             QString &failure)
{
    QString launch =
        QStringLiteral("appsrc name=video format=time ! h264parse ! "
                       "mp4mux name=mux fragment-duration=1000 ! filesink name=file buffer-mode=unbuffered");
    if (audio)
        launch += QStringLiteral(" appsrc name=audio format=time ! aacparse ! mux.");
    QString why;
    gstref::Element pipeline = pipelines::FromText(launch, why);
    if (!pipeline) {
        failure = QStringLiteral("recording is not available: %1").arg(why);
        return nullptr;
    }
    auto state = std::make_shared<State>();
    state->ended = std::move(ended);
    std::unique_ptr<ClipWriter> writer(new ClipWriter(path, state));
    writer->video_ = pipelines::Child(pipeline.get(), "video");
    gint rateN = 0;
    gint rateD = 1;
    if (gst_structure_get_fraction(gst_caps_get_structure(video, 0), "framerate", &rateN, &rateD) && rateN > 0 &&
        rateD > 0)
        writer->frame_ = gst_util_uint64_scale_int(GST_SECOND, rateD, rateN);
    g_object_set(writer->video_.get(), "caps", video, "max-bytes", MostWaiting, nullptr);
    if (audio) {
        writer->audio_ = pipelines::Child(pipeline.get(), "audio");
        g_object_set(writer->audio_.get(), "caps", audio, "max-bytes", MostWaiting, nullptr);
    }
    g_object_set(pipelines::Child(pipeline.get(), "file").get(), "location", path.toUtf8().constData(), nullptr);
    writer->pipeline_ = std::move(pipeline);
    gst_bus_set_sync_handler(gstref::Bus(gst_element_get_bus(writer->pipeline_.get())).get(), onBusMessage,
                             gstcall::Hold(state), gstcall::Release<State>);
    const bool playing = gst_element_set_state(writer->pipeline_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    std::lock_guard lock(state->mutex);
    if (!playing || !state->openingFailure.isEmpty()) {
        failure =
            state->openingFailure.isEmpty() ? QStringLiteral("the file could not be opened") : state->openingFailure;
        return nullptr; // its destructor takes the pipeline down
    }
    state->opened = true;
    return writer;
}

ClipWriter::~ClipWriter()
{
    if (state_) {
        std::lock_guard lock(state_->mutex);
        state_->ended = nullptr;
    }
    video_.reset();
    audio_.reset();
    pipelines::StopLater(std::move(pipeline_));
}

void ClipWriter::push(GstSample *sample, bool video)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (video && base_ == GST_CLOCK_TIME_NONE) {
        if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT))
            return; // a file begins with a key frame
        base_ = GST_BUFFER_PTS(buffer);
    }
    if (video)
        last_ = std::max(last_, GST_BUFFER_PTS(buffer));
    if (base_ == GST_CLOCK_TIME_NONE || GST_BUFFER_PTS(gst_sample_get_buffer(sample)) < base_)
        return; // sound from before the first picture
    GstElement *source = video ? video_.get() : (soundEnded_ ? nullptr : audio_.get());
    if (!source)
        return;
    pushed_ += static_cast<qint64>(gst_buffer_get_size(buffer));
    GstClockTime time = GST_BUFFER_PTS(buffer) - base_;
    if (video) {
        time = (time + frame_ / 2) / frame_ * frame_;
        if (lastShown_ != GST_CLOCK_TIME_NONE && time <= lastShown_)
            time = lastShown_ + frame_;
        lastShown_ = time;
    }
    pushed(source, sample, time);
}

bool ClipWriter::waitEnded(int limitMs)
{
    std::unique_lock lock(state_->mutex);
    return state_->done.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return state_->ended_; });
}

void ClipWriter::endSound()
{
    if (audio_ && !soundEnded_)
        gst_app_src_end_of_stream(GST_APP_SRC(audio_.get()));
    soundEnded_ = true;
}

void ClipWriter::finish()
{
    endSound();
    gst_app_src_end_of_stream(GST_APP_SRC(video_.get()));
}
