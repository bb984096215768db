#pragma once

#include "live/EncodedFeed.h"

#include <functional>

// The microphone's sound as Opus (48 kHz, 20 ms frames, about 64 kbit/s), encoded once for
// every RTSP client and WebRTC viewer that wants it, and only while one does. The microphone
// is opened on GStreamer's threads, never by the thread that attaches.
class OpusFeed : public EncodedFeed {
public:
    OpusFeed() : EncodedFeed(false, true) {}

    // The microphone the encoder takes from its next start on; null for none.
    void setDevice(GstDevice *device);
    QString deviceName() const;

    // Opens the microphone for a moment on GStreamer's thread pool and tells, on that thread,
    // why it cannot be opened (empty when it can).
    static void TryOpen(GstDevice *device, std::function<void(const QString &failure)> done);

    static constexpr int BitrateBps = 64000;

protected:
    gstref::Element buildPipeline(QString &failure) override;

private:
    mutable std::mutex deviceMutex_;
    gstref::Device device_;
};
