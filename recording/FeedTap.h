#pragma once

#include "live/FeedConsumer.h"

#include <memory>

// The shared feeds' samples, handed over as they come: a small pipeline of appsrcs (attached
// to the feeds like any viewer) and appsinks, so that a recording takes its picture and sound
// with the times the viewers' streams get.
class FeedTap : public FeedConsumer {
public:
    // Called on the feeds' streaming threads, one sample at a time per kind.
    class Receiver {
    public:
        virtual ~Receiver() = default;
        virtual void take(GstSample *sample, bool video) = 0;
        // The feed sent the end of its stream (its encoder gave up).
        virtual void ended(bool video) = 0;
    };

    FeedTap(EncodedFeed &video, EncodedFeed *audio) : FeedConsumer(video, audio) {}
    ~FeedTap() override;

    // False with the reason when the pipeline cannot be made or the encoder does not start.
    // Sound is taken when there is an audio feed and it starts; hasSound() says.
    bool Start(std::shared_ptr<Receiver> receiver, QString &failure);
    bool hasSound() const { return sound_; }

private:
    void receiveFrom(const char *sinkName, bool video);

    std::shared_ptr<Receiver> receiver_;
    bool sound_ = false;
};
