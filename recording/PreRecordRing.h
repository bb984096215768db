#pragma once

#include "gst/GstRefs.h"

#include <deque>
#include <vector>

// The encoded seconds before now, so that a clip can begin before the motion that starts it:
// picture and sound samples as they came, from the last key frame at least `keep` old (a clip
// must begin with a key frame). Memory follows the bitrate: `keep` plus one key-frame
// interval of picture and sound. Not locked: its owner's lock guards it.
class PreRecordRing {
public:
    struct Item {
        gstref::Sample sample;
        bool video = false;
    };

    explicit PreRecordRing(GstClockTime keep) : keep_(keep) {}

    void setKeep(GstClockTime keep) { keep_ = keep; }
    // Takes its own reference to the sample.
    void add(GstSample *sample, bool video);
    // Everything held, oldest first, beginning with a key frame; the ring is empty after.
    std::vector<Item> take();
    void clear();

    size_t bytes() const { return bytes_; }
    bool empty() const { return items_.empty(); }
    // The time the oldest and the newest held samples were stamped with.
    GstClockTime oldest() const;
    GstClockTime newest() const;

private:
    void trim();
    static bool isKey(const Item &item);
    static GstClockTime timeOf(const Item &item);
    static size_t sizeOf(const Item &item);
    void dropFront();

    GstClockTime keep_;
    std::deque<Item> items_;
    size_t bytes_ = 0;
};
