#pragma once

#include "live/SoundFeed.h"

// The microphone's sound as AAC (44.1 kHz stereo, 128 kbit/s), as streaming servers and
// platforms take it; silence, encoded the same way, while no microphone is chosen, since
// most platforms refuse a stream without sound. Encoded only while a push takes it.
class AacFeed : public SoundFeed {
public:
    static constexpr int BitrateBps = 128000;

protected:
    QString encoding(GstDevice *device, QString &failure) const override;
    gstref::Element silence(QString &failure) const override;
    QString codec() const override { return QStringLiteral("AAC"); }
};
