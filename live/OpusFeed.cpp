#include "live/OpusFeed.h"

#include "gst/Pipelines.h"

#include <algorithm>

namespace {

// Mono unless the microphone offers two channels or more.
int channelsOf(GstDevice *device)
{
    gstref::Caps caps(gst_device_get_caps(device));
    int most = 1;
    for (guint n = 0; caps && n < gst_caps_get_size(caps.get()); ++n) {
        const GValue *channels = gst_structure_get_value(gst_caps_get_structure(caps.get(), n), "channels");
        if (channels && G_VALUE_HOLDS_INT(channels))
            most = std::max(most, g_value_get_int(channels));
        else if (channels && GST_VALUE_HOLDS_INT_RANGE(channels))
            most = std::max(most, gst_value_get_int_range_max(channels));
    }
    return most >= 2 ? 2 : 1;
}

QString errorOn(GstElement *pipeline)
{
    gstref::Bus bus(gst_element_get_bus(pipeline));
    gstref::Message message(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
    return message ? pipelines::ErrorText(message.get()) : QStringLiteral("the microphone could not be opened");
}

} // namespace

QString OpusFeed::encoding(GstDevice *device, QString &failure) const
{
    if (!device) {
        failure = QStringLiteral("no microphone is chosen");
        return {};
    }
    return QStringLiteral("audioconvert ! audioresample ! audio/x-raw,rate=48000,channels=%1 ! "
                          "opusenc frame-size=20 audio-type=voice bitrate=%2 ! opusparse ! appsink name=out")
        .arg(channelsOf(device))
        .arg(BitrateBps);
}

void OpusFeed::TryOpen(GstDevice *device, std::function<void(const QString &failure)> done)
{
    GstElement *pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)));
    GstElement *source = gst_device_create_element(device, nullptr);
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    gst_bin_add(GST_BIN(pipeline), sink);
    if (source)
        gst_bin_add(GST_BIN(pipeline), source);
    if (!source || !gst_element_link(source, sink)) {
        gst_object_unref(pipeline);
        done(QStringLiteral("the microphone gives no source element"));
        return;
    }
    using Done = std::function<void(const QString &)>;
    // Live sources open their device on the way to paused.
    gst_element_call_async(
        pipeline,
        [](GstElement *element, gpointer held) {
            const bool opened = gst_element_set_state(element, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
            const QString failure = opened ? QString() : errorOn(element);
            gst_element_set_state(element, GST_STATE_NULL);
            (*static_cast<Done *>(held))(failure);
        },
        new Done(std::move(done)), [](gpointer held) { delete static_cast<Done *>(held); });
    gst_object_unref(pipeline); // call_async holds its own reference until the call has run
}
