#include "live/EncodedFeed.h"

#include "gst/Pipelines.h"

#include <vector>

namespace {

bool isKeyFrame(GstBuffer *buffer) { return !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT); }

} // namespace

GstBuffer *EncodedFeed::StampedNow(GstAppSrc *appsrc, GstBuffer *buffer, GstClockTime &last)
{
    // A pipeline on its way to playing has its clock before its base time: the running time
    // read then is the clock's own, hours ahead, and every later stamp would follow it.
    if (GST_STATE(appsrc) != GST_STATE_PLAYING)
        return nullptr;
    GstClockTime now = gst_element_get_current_running_time(GST_ELEMENT(appsrc));
    if (!GST_CLOCK_TIME_IS_VALID(now))
        return nullptr;
    // A millisecond apart at least: 90 kHz RTP clocks must tell them apart.
    if (GST_CLOCK_TIME_IS_VALID(last) && now < last + GST_MSECOND)
        now = last + GST_MSECOND;
    last = now;
    GstBuffer *copy = gst_buffer_copy_region(
        buffer, static_cast<GstBufferCopyFlags>(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_MEMORY), 0, -1);
    GST_BUFFER_PTS(copy) = now;
    GST_BUFFER_DTS(copy) = now;
    GST_BUFFER_DURATION(copy) = GST_CLOCK_TIME_NONE;
    return copy;
}

EncodedFeed::~EncodedFeed() { endFeeding(); }

void EncodedFeed::endFeeding()
{
    link_.cut();
    gstref::Element pipeline;
    {
        std::unique_lock lock(mutex_);
        ending_ = true;
        startDone_.wait(lock, [this] { return !starting_ && retriesAway_ == 0; });
        for (auto &[id, consumer] : consumers_)
            release(consumer);
        consumers_.clear();
        pipeline = std::move(pipeline_);
        out_ = nullptr;
        running_ = false;
    }
    if (pipeline)
        gst_element_set_state(pipeline.get(), GST_STATE_NULL);
}

int EncodedFeed::attach(GstAppSrc *consumer)
{
    g_object_set(consumer, "is-live", TRUE, "format", GST_FORMAT_TIME, "max-buffers", guint64{ConsumerQueue},
                 "leaky-type", 2 /* downstream: the oldest go */, nullptr);
    std::unique_lock lock(mutex_);
    startDone_.wait(lock, [this] { return !starting_; });
    // In before the start: a start that fails on its way (a device that will not open) ends it.
    const int id = nextId_++;
    consumers_[id] = Consumer{GST_APP_SRC(gst_object_ref(consumer)), keyFramed_, nullptr, GST_CLOCK_TIME_NONE};
    if (keyFramed_)
        lastKey_ = {}; // the next delivery asks for one
    if (!pipeline_) {
        retried_ = false;
        if (!start(lock)) {
            if (const auto found = consumers_.find(id); found != consumers_.end()) {
                release(found->second);
                consumers_.erase(found);
            }
            return 0;
        }
    }
    return id;
}

void EncodedFeed::detach(int id)
{
    gstref::Element stopping;
    {
        std::lock_guard lock(mutex_);
        auto found = consumers_.find(id);
        if (found == consumers_.end())
            return;
        release(found->second);
        consumers_.erase(found);
        if (!consumers_.empty())
            return;
        stopping = std::move(pipeline_);
        out_ = nullptr;
        running_ = false;
        if (stopping)
            pipelineStopped(false);
    }
    pipelines::StopLater(std::move(stopping));
}

void EncodedFeed::release(Consumer &consumer)
{
    gst_object_unref(consumer.appsrc);
    gst_caps_replace(&consumer.caps, nullptr);
}

int EncodedFeed::consumerCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(consumers_.size());
}

QString EncodedFeed::failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}

// GStreamer's own locks are taken while a pipeline is built and started, and its streaming
// threads hold them when they deliver into the feed: the feed's lock is not held meanwhile.
// Attaches wait for a start under way.
bool EncodedFeed::start(std::unique_lock<std::mutex> &lock)
{
    starting_ = true;
    failure_.clear();
    lock.unlock();
    QString reason;
    GstElement *out = nullptr;
    gstref::Element pipeline = prepare(reason, out);
    lock.lock();
    GstElement *raw = pipeline.get();
    const bool installed = pipeline && !ending_;
    if (installed) {
        pipeline_ = std::move(pipeline);
        out_ = out;
        running_ = true;
        ++started_;
    }
    // A start away only queues its call on the pool (and reports on its own); one here waits
    // for the pipeline's threads.
    bool played = installed && startsAway_ && play(raw);
    lock.unlock();
    played = played || (installed && !startsAway_ && play(raw));
    pipelines::StopLater(std::move(pipeline)); // one that was not taken
    lock.lock();
    starting_ = false;
    startDone_.notify_all();
    // Started: a failure on its way (it may already have come) ends or restarts the consumers.
    if (installed && played)
        return true;
    if (raw && raw == pipeline_.get()) {
        pipelines::StopLater(std::move(pipeline_));
        out_ = nullptr;
        running_ = false;
        pipelineStopped(false);
    }
    if (failure_.isEmpty())
        failure_ = reason.isEmpty() ? QStringLiteral("the encoder did not start") : reason;
    return false;
}

gstref::Element EncodedFeed::prepare(QString &failure, GstElement *&out)
{
    gstref::Element pipeline = buildPipeline(failure);
    const gstref::Element sink = pipelines::Child(pipeline.get(), "out");
    if (!sink) {
        if (failure.isEmpty())
            failure = QStringLiteral("the encoder has no output");
        return {};
    }
    out = sink.get(); // the pipeline holds it
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &EncodedFeed::onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, link_.hold(), &gstcall::OwnerLink<EncodedFeed>::release);
    g_object_set(out, "sync", FALSE, "enable-last-sample", FALSE, nullptr);
    gstref::Bus bus(gst_element_get_bus(pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), &EncodedFeed::onBusMessage, link_.hold(),
                             &gstcall::OwnerLink<EncodedFeed>::release);
    pipelineStarted(pipeline.get());
    return pipeline;
}

bool EncodedFeed::play(GstElement *pipeline)
{
    if (!startsAway_)
        return gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    gst_element_call_async(pipeline, &EncodedFeed::playAway, link_.hold(), &gstcall::OwnerLink<EncodedFeed>::release);
    return true;
}

// The link is not held while the pipeline starts: its streaming threads may deliver (and wait
// for the link) while the start waits for them. The feed may go meanwhile; the pipeline is
// then found out of use and stays stopped.
void EncodedFeed::playAway(GstElement *pipeline, gpointer link)
{
    using Link = gstcall::OwnerLink<EncodedFeed>;
    bool current = false;
    Link::With(link, [&](EncodedFeed &feed) { current = feed.isCurrent(pipeline); });
    const bool played = current && gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    bool kept = false;
    Link::With(link, [&](EncodedFeed &feed) {
        kept = feed.isCurrent(pipeline);
        if (kept && !played)
            feed.failed(pipeline, QStringLiteral("the device could not be opened"));
    });
    if (!kept)
        gst_element_set_state(pipeline, GST_STATE_NULL);
}

bool EncodedFeed::isCurrent(GstElement *pipeline) const
{
    std::lock_guard lock(mutex_);
    return pipeline == pipeline_.get();
}

void EncodedFeed::endConsumersLocked()
{
    for (auto &[id, consumer] : consumers_) {
        gst_app_src_end_of_stream(consumer.appsrc);
        release(consumer);
    }
    consumers_.clear();
}

void EncodedFeed::requestKeyFrame()
{
    GstElement *out = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!out_)
            return;
        out = GST_ELEMENT(gst_object_ref(out_));
        lastKey_ = std::chrono::steady_clock::now();
    }
    GstEvent *event = gst_event_new_custom(GST_EVENT_CUSTOM_UPSTREAM,
                                           gst_structure_new("GstForceKeyUnit", "running-time", G_TYPE_UINT64,
                                                             GST_CLOCK_TIME_NONE, "all-headers", G_TYPE_BOOLEAN, FALSE,
                                                             "count", G_TYPE_UINT, 0u, nullptr));
    gst_element_send_event(out, event);
    gst_object_unref(out);
}

GstFlowReturn EncodedFeed::onSample(GstAppSink *sink, gpointer link)
{
    gstref::Sample sample(gst_app_sink_pull_sample(sink));
    if (sample)
        gstcall::OwnerLink<EncodedFeed>::With(
            link, [sink, &sample](EncodedFeed &feed) { feed.deliver(GST_ELEMENT(sink), sample.get()); });
    return GST_FLOW_OK;
}

void EncodedFeed::deliver(GstElement *sink, GstSample *sample)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstCaps *caps = gst_sample_get_caps(sample);
    if (!buffer)
        return;
    const bool key = isKeyFrame(buffer);
    bool wantKey = false;
    {
        std::lock_guard lock(mutex_);
        if (sink != out_)
            return; // a pipeline on its way out
        retried_ = false;
        const auto now = std::chrono::steady_clock::now();
        if (key)
            lastKey_ = now;
        for (auto &[id, consumer] : consumers_) {
            if (consumer.waitingForKey && !key) {
                wantKey = true;
                continue;
            }
            GstBuffer *stamped = StampedNow(consumer.appsrc, buffer, consumer.last);
            if (!stamped) {
                wantKey = wantKey || consumer.waitingForKey;
                continue; // its pipeline is not playing yet
            }
            consumer.waitingForKey = false;
            if (caps && (!consumer.caps || !gst_caps_is_equal(caps, consumer.caps))) {
                gst_app_src_set_caps(consumer.appsrc, caps);
                gst_caps_replace(&consumer.caps, caps);
            }
            gst_app_src_push_buffer(consumer.appsrc, stamped);
        }
        wantKey = keyFramed_ && (wantKey || now - lastKey_ > keyFrameInterval);
    }
    if (wantKey)
        requestKeyFrame();
}

// Consumers stay for one more start (a subclass may choose another encoder), made on
// GStreamer's pool: not on the thread that reports the failure, which may hold its locks.
// One that fails again before it delivered anything gives up on them.
void EncodedFeed::failed(GstElement *pipeline, const QString &reason)
{
    gstref::Element stopping;
    Stopped tell;
    bool again = false;
    {
        std::lock_guard lock(mutex_);
        if (pipeline != pipeline_.get())
            return;
        stopping = std::move(pipeline_);
        out_ = nullptr;
        running_ = false;
        pipelineStopped(true);
        failure_ = reason;
        again = !consumers_.empty() && !retried_ && !ending_;
        retried_ = again;
        if (again) {
            ++retriesAway_;
        } else if (!consumers_.empty()) {
            endConsumersLocked();
            tell = stopped_;
        }
    }
    if (again)
        gst_element_call_async(
            stopping.get(), [](GstElement *, gpointer feed) { static_cast<EncodedFeed *>(feed)->retry(); }, this,
            nullptr);
    pipelines::StopLater(std::move(stopping));
    if (tell)
        tell(reason);
}

// The feed's end waits for a retry under way (retriesAway_).
void EncodedFeed::retry()
{
    Stopped tell;
    QString reason;
    {
        std::unique_lock lock(mutex_);
        startDone_.wait(lock, [this] { return !starting_; });
        if (!ending_ && !pipeline_ && !consumers_.empty() && !start(lock) && !consumers_.empty()) {
            endConsumersLocked();
            tell = stopped_;
            reason = failure_;
        }
        --retriesAway_;
        startDone_.notify_all();
    }
    if (tell)
        tell(reason);
}

// A sync handler that drops a message owns it.
GstBusSyncReply EncodedFeed::onBusMessage(GstBus *, GstMessage *raw, gpointer link)
{
    const gstref::Message message(raw);
    if (GST_MESSAGE_TYPE(raw) != GST_MESSAGE_ERROR)
        return GST_BUS_DROP;
    const gstref::Element pipeline = pipelines::PipelineOf(raw);
    const QString reason = pipelines::ErrorText(raw);
    gstcall::OwnerLink<EncodedFeed>::With(link, [&](EncodedFeed &feed) { feed.failed(pipeline.get(), reason); });
    return GST_BUS_DROP;
}
