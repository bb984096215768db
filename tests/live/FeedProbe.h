#pragma once

// Consumers of an encoded feed for the tests: a pipeline that takes what the feed gives, and
// what the feed's listener heard.
#include "live/EncodedFeed.h"

#include <QString>

#include <mutex>

namespace {

// A pipeline that takes what the feed gives: appsrc ! appsink.
struct Consumer {
    gstref::Element pipeline{
        gst_parse_launch("appsrc name=in is-live=true format=time ! appsink name=out sync=false", nullptr)};
    gstref::Element in{gst_bin_get_by_name(GST_BIN(pipeline.get()), "in")};
    gstref::Element out{gst_bin_get_by_name(GST_BIN(pipeline.get()), "out")};
    // A consumer that never plays gets nothing, and holds nothing up.
    explicit Consumer(bool plays = true)
    {
        if (plays)
            gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    }
    ~Consumer() { gst_element_set_state(pipeline.get(), GST_STATE_NULL); }
    int attachTo(EncodedFeed &feed) { return feed.attach(GST_APP_SRC(in.get())); }
    // The media type of the next buffer, empty when none came within two seconds.
    QString next()
    {
        gstref::Sample sample(gst_app_sink_try_pull_sample(GST_APP_SINK(out.get()), 2 * GST_SECOND));
        GstCaps *caps = sample ? gst_sample_get_caps(sample.get()) : nullptr;
        return caps ? QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps, 0))) : QString();
    }
    bool ended()
    {
        while (gstref::Sample(gst_app_sink_try_pull_sample(GST_APP_SINK(out.get()), 0))) {
        }
        return gst_app_sink_is_eos(GST_APP_SINK(out.get()));
    }
};

// What the feed's listener heard, from GStreamer's threads.
struct Heard {
    std::mutex mutex;
    QString reason;
    QString get()
    {
        std::lock_guard lock(mutex);
        return reason;
    }
    void listen(EncodedFeed &feed)
    {
        feed.setStoppedListener([this](const QString &why) {
            std::lock_guard lock(mutex);
            reason = why;
        });
    }
};

} // namespace
