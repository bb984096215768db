#pragma once

#include "live/EncodedFeed.h"

#include <mutex>

// A microphone's sound, encoded once for every consumer that wants it and only while one
// does. The microphone is opened on GStreamer's threads, never by the thread that attaches.
// What follows the microphone (the encoding) is the subclass's.
class SoundFeed : public EncodedFeed {
public:
    ~SoundFeed() override;

    // The microphone the encoder takes from its next start on; null for none.
    void setDevice(GstDevice *device);
    QString deviceName() const;

protected:
    SoundFeed() : EncodedFeed(false, true) {}

    gstref::Element buildPipeline(QString &failure) final;
    // The encoding after the source, ending in the appsink "out"; empty with the reason when
    // there is none. `device` is null when no microphone is chosen.
    virtual QString encoding(GstDevice *device, QString &failure) const = 0;
    // The source used when no microphone is chosen; null (with the reason) for none.
    virtual gstref::Element silence(QString &failure) const = 0;
    // The codec's name, for the reason when its encoder is missing.
    virtual QString codec() const = 0;

private:
    mutable std::mutex deviceMutex_;
    gstref::Device device_;
};
