#pragma once

#include "gst/GstRefs.h"

#include <QString>

class EncodedFeed;

// What every consumer of the shared feeds does (a WebRTC viewer, a push to a streaming
// server): a pipeline of its own whose appsrcs "video" and, when it takes sound, "audio" are
// attached to the feeds. Its end lets go of the feeds and stops the pipeline on GStreamer's
// pool; a subclass cuts its own callbacks before (in its destructor, ahead of this one's).
class FeedConsumer {
public:
    virtual ~FeedConsumer();
    FeedConsumer(const FeedConsumer &) = delete;
    FeedConsumer &operator=(const FeedConsumer &) = delete;

protected:
    FeedConsumer(EncodedFeed &video, EncodedFeed *audio) : video_(video), audio_(audio) {}

    // Makes the pipeline from launch text; false with the reason when it cannot be made.
    bool build(const QString &launch, QString &failure);
    GstElement *pipeline() const { return pipeline_.get(); }
    gstref::Element child(const char *name) const;

    // Feeds the appsrc "video" from the picture feed; false, with the reason, when its encoder
    // does not start.
    bool attachVideo(QString &failure);
    // Feeds the appsrc "audio" from the sound feed; false when there is no sound to be had.
    bool attachAudio();

    // Lets go of the feeds and stops the pipeline on GStreamer's pool.
    void end();
    // The same, with the pipeline stopped here and now (for the program's end).
    void endNow();

private:
    void detach();

    EncodedFeed &video_;
    EncodedFeed *audio_;
    gstref::Element pipeline_;
    int videoId_ = 0;
    int audioId_ = 0;
};
