#pragma once

#include "live/SoundFeed.h"

#include <functional>

// The microphone's sound as Opus (48 kHz, 20 ms frames, about 64 kbit/s), encoded once for
// every RTSP client and WebRTC viewer that wants it, and only while one does.
class OpusFeed : public SoundFeed {
public:
    // Opens the microphone for a moment on GStreamer's thread pool and tells, on that thread,
    // why it cannot be opened (empty when it can).
    static void TryOpen(GstDevice *device, std::function<void(const QString &failure)> done);

    static constexpr int BitrateBps = 64000;

protected:
    QString encoding(GstDevice *device, QString &failure) const override;
    gstref::Element silence(QString &failure) const override
    {
        (void)failure;
        return {};
    }
    QString codec() const override { return QStringLiteral("Opus"); }
};
