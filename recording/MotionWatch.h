#pragma once

#include "capture/FrameTap.h"

#include <QImage>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

// Motion in the live picture, for recordings: the snapshots' comparison (same sampling, the
// same brightness measure and sensitivity) a few times a second on frames of its own, so the
// snapshots' previous frame is untouched. Motion has begun once that many comparisons in a
// row found it, so one noisy frame does not start a clip; it has ended at the first
// comparison that finds none. Runs on the capture's thread and costs one check per frame
// while it is off.
class MotionWatch : public FrameTap {
public:
    // Told on the capture's thread: motion began (true) or ended (false); and, while `debug`
    // is on, the count of each comparison.
    using Changed = std::function<void(bool moving)>;
    using Counted = std::function<void(int unmatchedAreas)>;

    MotionWatch(Changed changed, Counted counted) : changed_(std::move(changed)), counted_(std::move(counted)) {}

    void offer(GstSample *sample, qint64 captureMicros) override;

    // Off: nothing compared, and motion is forgotten.
    void setOn(bool on);
    void setSensitivity(int sensitivity) { sensitivity_ = sensitivity; }
    void setComparisonsNeeded(int comparisons) { needed_ = comparisons; }
    void setDebug(bool debug) { debug_ = debug; }
    // Comparisons a second.
    static constexpr int Rate = 5;

    // One comparison of a frame with the one before: whether it found motion. For tests.
    void compare(const QImage &frame);

private:
    std::atomic<bool> on_{false};
    std::atomic<int> sensitivity_{50};
    std::atomic<int> needed_{2};
    std::atomic<bool> debug_{false};
    Changed changed_;
    Counted counted_;
    std::mutex mutex_; // what follows: the capture's thread, and setOn from the GUI
    qint64 lastMicros_ = 0;
    QImage previous_;
    int inARow_ = 0;
    bool moving_ = false;
};
