#pragma once

#include "gst/Callbacks.h"
#include "gst/GstRefs.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

// One encoder's output, shared by everyone who wants it. The encoder runs only while at
// least one consumer is attached, and stops when the last one goes. A consumer is an appsrc
// in its own pipeline (an RTSP media, a WebRTC viewer, a relay push); each encoded buffer is
// pushed to every consumer without copying its bytes, stamped with the consumer's own
// running time on arrival. A video consumer begins with a key frame.
//
// Attach and detach may be called from any thread; the encoder delivers on its own. An encoder
// that fails is started once more for its consumers; when that fails too, they are sent the end
// of the stream and let go, and the feed's listener is told why.
class EncodedFeed {
public:
    virtual ~EncodedFeed();
    EncodedFeed(const EncodedFeed &) = delete;
    EncodedFeed &operator=(const EncodedFeed &) = delete;

    // Sets the consumer up (live, time format, bounded queue) and starts feeding it; starts
    // the encoder for the first consumer. The number to detach it with, 0 when the encoder
    // cannot start.
    int attach(GstAppSrc *consumer);
    void detach(int id);

    int consumerCount() const;
    bool running() const { return running_.load(); }
    // Encoder pipelines started over the whole run, and running now (at most one).
    int encodersStarted() const { return started_.load(); }
    // Why the encoder could not start or stopped on its own; empty when it did not.
    QString failure() const;

    // Told, on a GStreamer thread and without the feed's lock, why the encoder gave up on its
    // consumers. Set before the first attach.
    using Stopped = std::function<void(const QString &reason)>;
    void setStoppedListener(Stopped listener) { stopped_ = std::move(listener); }

    // A buffer sharing the given one's bytes and flags, stamped with the running time of the
    // appsrc's pipeline now, at least a millisecond after `last` (which it updates). Null until that
    // pipeline plays: a buffer queued before would be stamped only when taken, in a burst with
    // the others, and players refuse equal times.
    static GstBuffer *StampedNow(GstAppSrc *appsrc, GstBuffer *buffer, GstClockTime &last);

    // Consumers hold at most this many buffers before the oldest go.
    static constexpr guint ConsumerQueue = 60;

protected:
    // keyFramed: a consumer must wait for a buffer that is not a delta unit before its first.
    // startsAway: the pipeline is set playing on GStreamer's thread pool, not by the thread
    // that attaches (opening a device may take a while); a failure then ends the consumers.
    explicit EncodedFeed(bool keyFramed, bool startsAway = false) : keyFramed_(keyFramed), startsAway_(startsAway) {}

    // Lets the consumers go and stops the encoder here and now; nothing calls into the feed
    // after (a delivery under way finishes first). The most derived destructor calls it before
    // its own members go.
    void endFeeding();

    // Builds the encoder's pipeline; its output is the appsink named "out". Null with a
    // reason in `failure` when it cannot be built.
    virtual gstref::Element buildPipeline(QString &failure) = 0;
    // Told when a pipeline is about to play, and when it is taken out of use (under the feed's
    // lock: they must not call back into the feed).
    virtual void pipelineStarted(GstElement *pipeline) { (void)pipeline; }
    virtual void pipelineStopped(bool failed) { (void)failed; }
    // A key frame soon, for a consumer that joined.
    void requestKeyFrame();
    // How often a key frame is asked for when the encoder itself gives none.
    std::chrono::milliseconds keyFrameInterval{2000};

private:
    struct Consumer {
        GstAppSrc *appsrc = nullptr; // our own reference
        bool waitingForKey = true;
        GstCaps *caps = nullptr; // the caps last set on it (our own reference)
        GstClockTime last = GST_CLOCK_TIME_NONE;
    };
    static void release(Consumer &consumer);
    static GstFlowReturn onSample(GstAppSink *sink, gpointer link);
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer link);
    void deliver(GstElement *sink, GstSample *sample);
    void failed(GstElement *pipeline, const QString &reason);
    bool start(std::unique_lock<std::mutex> &lock);
    gstref::Element prepare(QString &failure, GstElement *&out);
    bool play(GstElement *pipeline);
    void retry();
    void endConsumersLocked();
    static void playAway(GstElement *pipeline, gpointer link);
    bool isCurrent(GstElement *pipeline) const;

    const bool keyFramed_;
    const bool startsAway_;
    // What every callback of the encoder's pipelines reaches.
    gstcall::OwnerLink<EncodedFeed> link_{this};
    Stopped stopped_;
    // The encoder was started again after a failure and has delivered nothing since.
    bool retried_ = false;
    mutable std::mutex mutex_;
    // A start under way (without the lock held), retries on GStreamer's pool, the feed's end.
    std::condition_variable startDone_;
    bool starting_ = false;
    int retriesAway_ = 0;
    bool ending_ = false;
    std::map<int, Consumer> consumers_;
    int nextId_ = 1;
    gstref::Element pipeline_;
    GstElement *out_ = nullptr;
    QString failure_;
    std::chrono::steady_clock::time_point lastKey_;
    std::atomic<bool> running_{false};
    std::atomic<int> started_{0};
};
