#include "gst/Pipelines.h"

#include <gst/app/gstappsink.h>

#include <condition_variable>
#include <mutex>

namespace pipelines {

namespace {

gstref::Element taken(GstElement *made, GError *raw, QString &failure)
{
    gstref::Error error(raw);
    gstref::Element element(made ? GST_ELEMENT(gst_object_ref_sink(made)) : nullptr);
    if (element && !error)
        return element;
    failure = error ? QString::fromUtf8(error->message) : QStringLiteral("it cannot be made");
    return {};
}

struct Stops {
    std::mutex mutex;
    std::condition_variable done;
    int pending = 0;
};

Stops &stops()
{
    static Stops *shared = new Stops; // never destroyed: the pool may finish after exit starts
    return *shared;
}

void cutAppSinks(GstElement *pipeline)
{
    if (!GST_IS_BIN(pipeline))
        return;
    GstIterator *elements = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        auto *element = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_APP_SINK(element)) {
            GstAppSinkCallbacks none{};
            gst_app_sink_set_callbacks(GST_APP_SINK(element), &none, nullptr, nullptr);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
}

void stopped(gpointer)
{
    Stops &all = stops();
    std::lock_guard lock(all.mutex);
    --all.pending;
    all.done.notify_all();
}

} // namespace

gstref::Element FromText(const QString &launch, QString &failure)
{
    GError *raw = nullptr;
    GstElement *made = gst_parse_launch(launch.toUtf8().constData(), &raw);
    return taken(made, raw, failure);
}

gstref::Element BinFromText(const QString &description, QString &failure)
{
    GError *raw = nullptr;
    GstElement *made = gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &raw);
    return taken(made, raw, failure);
}

gstref::Element Child(GstElement *bin, const char *name)
{
    return gstref::Element(bin && GST_IS_BIN(bin) ? gst_bin_get_by_name(GST_BIN(bin), name) : nullptr);
}

QString ErrorText(GstMessage *error)
{
    GError *parsed = nullptr;
    gst_message_parse_error(error, &parsed, nullptr);
    const gstref::Error owned(parsed);
    return owned ? QString::fromUtf8(owned->message) : QStringLiteral("error");
}

QString ErrorDetails(GstMessage *error)
{
    gchar *details = nullptr;
    gst_message_parse_error(error, nullptr, &details);
    const gstref::String owned(details);
    return QString::fromUtf8(owned ? owned.get() : "");
}

gstref::Element PipelineOf(GstMessage *message)
{
    GstObject *at = GST_MESSAGE_SRC(message) ? GST_OBJECT(gst_object_ref(GST_MESSAGE_SRC(message))) : nullptr;
    while (at && GST_OBJECT_PARENT(at)) {
        GstObject *up = gst_object_get_parent(at);
        gst_object_unref(at);
        at = up;
    }
    if (at && !GST_IS_ELEMENT(at)) {
        gst_object_unref(at);
        at = nullptr;
    }
    return gstref::Element(GST_ELEMENT(at));
}

void StopLater(gstref::Element pipeline)
{
    if (!pipeline)
        return;
    gst_bus_set_sync_handler(gstref::Bus(gst_element_get_bus(pipeline.get())).get(), nullptr, nullptr, nullptr);
    cutAppSinks(pipeline.get());
    {
        std::lock_guard lock(stops().mutex);
        ++stops().pending;
    }
    // call_async holds its own reference until the call has run.
    gst_element_call_async(
        pipeline.get(), [](GstElement *element, gpointer) { gst_element_set_state(element, GST_STATE_NULL); }, nullptr,
        stopped);
}

bool WaitForStops(std::chrono::milliseconds limit)
{
    Stops &all = stops();
    std::unique_lock lock(all.mutex);
    return all.done.wait_for(lock, limit, [&all] { return all.pending == 0; });
}

int PendingStops()
{
    std::lock_guard lock(stops().mutex);
    return stops().pending;
}

} // namespace pipelines
