#pragma once

#include "gst/GstRefs.h"

#include <QString>

#include <functional>
#include <memory>

// One recording's file: the shared encoder's H.264 (and AAC, when it has sound) into a
// fragmented MP4 of one-second fragments, written straight to the disk as it comes, so a
// crash or a power cut loses at most the last second and the file still plays. Times are
// counted from the clip's first picture, which must be a key frame.
//
// push() may be called from any thread (one at a time); what the writer reports comes on a
// GStreamer thread.
class ClipWriter {
public:
    // Once, when the file is complete (written: true) or could not be written (the reason).
    // Never once the writer is destroyed, which waits for a call under way.
    using Ended = std::function<void(bool written, const QString &reason)>;

    ~ClipWriter();
    ClipWriter(const ClipWriter &) = delete;
    ClipWriter &operator=(const ClipWriter &) = delete;

    // Opens the file; null with the reason when it cannot be written. `audio` null: no sound track.
    static std::unique_ptr<ClipWriter> Open(const QString &path, GstCaps *video, GstCaps *audio, Ended ended,
                                            QString &failure);

    // A sample of the feeds, in the order they came; sound before the first picture is left out.
    void push(GstSample *sample, bool video);
    // No more sound: the picture goes on alone.
    void endSound();
    // No more of either; the file is completed and `ended` told.
    void finish();

    // Waits for the end of a finished file, at most `limitMs`; false when it did not come.
    bool waitEnded(int limitMs);

    QString path() const { return path_; }
    // The length of the picture handed over so far.
    GstClockTime duration() const { return hasPicture() ? last_ - base_ : 0; }
    // Bytes of H.264 and AAC handed to the file so far.
    qint64 bytesPushed() const { return pushed_; }
    bool hasPicture() const { return base_ != GST_CLOCK_TIME_NONE; }

    struct State;

private:
    ClipWriter(QString path, std::shared_ptr<State> state) : path_(std::move(path)), state_(std::move(state)) {}

    QString path_;
    std::shared_ptr<State> state_;
    gstref::Element pipeline_;
    gstref::Element video_;
    gstref::Element audio_;
    GstClockTime base_ = GST_CLOCK_TIME_NONE;
    GstClockTime last_ = 0;
    // Pictures are stamped as they reached the recording, two at times a moment apart: they are
    // put on the frame rate's grid, each after the one before, as players expect.
    GstClockTime frame_ = GST_SECOND / 30;
    GstClockTime lastShown_ = GST_CLOCK_TIME_NONE;
    qint64 pushed_ = 0;
    bool soundEnded_ = false;
};
