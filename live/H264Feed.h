#pragma once

#include "capture/FrameTap.h"
#include "live/EncodedFeed.h"

#include <array>
#include <atomic>
#include <mutex>

// The program's one H.264 encoder: captured frames in, H.264 access units out (byte-stream,
// constrained baseline, no B-frames, parameter sets before every key frame, a key frame every
// 45 frames and at least every two seconds). It encodes only while someone watches: without consumers a frame
// costs one check. A hardware encoder (VA-API) is used where one is installed and works; a
// failing one gives way to x264 for the rest of the run.
class H264Feed : public EncodedFeed, public FrameTap {
public:
    H264Feed() : EncodedFeed(true) {}
    ~H264Feed() override;

    void offer(GstSample *sample, qint64 captureMicros) override;

    // Frames a second the capture delivered over the last second or so; 0 when none came.
    double framesPerSecond() const;

    // The encoder element's factory name ("x264enc", ...), empty while none runs.
    QString encoderName() const;

    // Kilobits per second the encoder aims at: from now on, the running encoder included.
    void setBitrate(int kbps);
    int bitrate() const { return bitrateKbps_.load(); }
    static constexpr int DefaultBitrateKbps = 2000;

protected:
    gstref::Element buildPipeline(QString &failure) override;
    void pipelineStarted(GstElement *pipeline) override;
    void pipelineStopped(bool failed) override;

private:
    void releaseInput();

    mutable std::mutex inputMutex_;
    GstAppSrc *input_ = nullptr;   // our own reference, while a pipeline runs
    GstCaps *inputCaps_ = nullptr; // our own reference
    GstClockTime inputLast_ = GST_CLOCK_TIME_NONE;
    GstElement *encoder_ = nullptr; // our own reference, while a pipeline runs
    std::atomic<int> bitrateKbps_{DefaultBitrateKbps};
    QString encoderName_;
    // Written while a pipeline is built and when one stops, which may be different threads.
    std::atomic<bool> hardwareInUse_{false};
    std::atomic<bool> hardwareFailed_{false};
    // Arrival times (microseconds) of the latest frames, oldest overwritten first.
    std::array<qint64, 64> arrivals_{};
    size_t arrivalCount_ = 0;
};
