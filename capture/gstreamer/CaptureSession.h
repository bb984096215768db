#pragma once

#include "capture/CapturedFrame.h"
#include "capture/FrameTap.h"
#include "capture/gstreamer/CaptureSource.h"
#include "gst/GstRefs.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include <gst/app/gstappsink.h>

// One running capture pipeline: source ! [size] ! [jpegdec] ! videoconvert !
// appsink. GStreamer's streaming thread only puts the newest sample into a
// guarded slot and posts one notice of it to the GUI thread; everything else
// happens on the GUI thread.
class CaptureSession {
public:
    ~CaptureSession();
    CaptureSession(const CaptureSession &) = delete;
    CaptureSession &operator=(const CaptureSession &) = delete;

    // Builds the pipeline and sets it playing without waiting for it; null when it cannot start.
    static std::unique_ptr<CaptureSession> start(gstref::Element source, const SourceSize &format);

    // The newest frame, sharing the pipeline's buffer. Missing once the pipeline failed.
    CapturedFrame newestFrame();

    // Called on the GUI thread after new frames have arrived: once per notice, however
    // many frames came meanwhile.
    void setFrameListener(std::function<void()> listener) { frameListener_ = std::move(listener); }
    // Given every frame on the streaming thread as it arrives.
    void setFrameTap(std::shared_ptr<FrameTap> tap);

    // False once the pipeline reported an error or the end of its stream.
    bool healthy();
    // Healthy, and a frame came within the limit.
    bool delivering(std::chrono::milliseconds limit);
    QString failure() const { return failure_; }

    QSize size() const { return size_; }

    // Whether pixels are converted (and so copied once) on their way to the
    // frame; false when the source delivers them as the encoder reads them.
    bool convertsPixels() const;
    GstElement *source() const { return source_; }

private:
    CaptureSession() = default;

    bool build(gstref::Element source, const SourceSize &format);
    void pollBus();
    void store(GstSample *sample, qint64 arrivalMicros);
    void postNotice();
    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer session);

    gstref::Element pipeline_;
    GstElement *source_ = nullptr;
    GstElement *converter_ = nullptr;
    bool failed_ = false;
    QString failure_;
    QSize size_;

    std::mutex mutex_;
    gstref::Sample newest_;
    quint64 serial_ = 0;
    qint64 newestMicros_ = 0;
    std::shared_ptr<FrameTap> tap_;
    std::atomic<std::chrono::steady_clock::rep> lastArrival_{0};

    CapturedFrame shared_;

    // Lives on the GUI thread; notices posted to it go with it.
    std::unique_ptr<QObject> noticeTarget_ = std::make_unique<QObject>();
    std::atomic<bool> noticePending_{false};
    std::function<void()> frameListener_;
};
