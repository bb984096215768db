#pragma once

#include "live/EncodedFeed.h"

// The microphone's sound as AAC (44.1 kHz stereo, 128 kbit/s), as streaming servers and
// platforms take it; silence, encoded the same way, while no microphone is chosen, since
// most platforms refuse a stream without sound. Encoded once, only while a push takes it;
// the microphone is opened on GStreamer's threads.
class AacFeed : public EncodedFeed {
public:
    AacFeed() : EncodedFeed(false, true) {}

    // The microphone the encoder takes from its next start on; null for silence.
    void setDevice(GstDevice *device);

    static constexpr int BitrateBps = 128000;

protected:
    gstref::Element buildPipeline(QString &failure) override;

private:
    std::mutex deviceMutex_;
    gstref::Device device_;
};
