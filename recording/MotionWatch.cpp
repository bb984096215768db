#include "recording/MotionWatch.h"

#include "snapshot/MotionDetection.h"

#include <gst/video/video.h>

void MotionWatch::offer(GstSample *sample, qint64 captureMicros)
{
    if (!on_.load(std::memory_order_relaxed))
        return;
    {
        std::lock_guard lock(mutex_);
        if (captureMicros - lastMicros_ < 1000000 / Rate && captureMicros >= lastMicros_)
            return;
        lastMicros_ = captureMicros;
    }
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    compare(QImage(map.data, GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                   GST_VIDEO_INFO_PLANE_STRIDE(&info, 0), QImage::Format_RGB32));
    gst_buffer_unmap(buffer, &map);
}

void MotionWatch::compare(const QImage &frame)
{
    const int threshold = motion::ThresholdFor(sensitivity_.load());
    std::unique_lock lock(mutex_);
    const std::optional<int> count = motion::CountUnmatchedAreas(frame, previous_, threshold);
    motion::KeepFrame(frame, previous_);
    if (!count)
        return; // the first frame, or the picture's size changed
    const bool found = motion::EnoughMotion(*count, threshold);
    inARow_ = found ? inARow_ + 1 : 0;
    const bool movingBefore = moving_;
    moving_ = found && (moving_ || inARow_ >= needed_.load());
    const bool movingNow = moving_;
    lock.unlock();
    if (debug_.load() && counted_)
        counted_(*count);
    if (movingNow != movingBefore && changed_)
        changed_(movingNow);
}

void MotionWatch::setOn(bool on)
{
    std::lock_guard lock(mutex_);
    on_ = on;
    previous_ = QImage();
    inARow_ = 0;
    moving_ = false;
    lastMicros_ = 0;
}
