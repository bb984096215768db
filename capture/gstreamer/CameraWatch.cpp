#include "capture/gstreamer/CameraWatch.h"

#include <QMetaObject>

std::unique_ptr<CameraWatch> CameraWatch::start()
{
    GstDeviceMonitor *monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    std::unique_ptr<CameraWatch> watch(new CameraWatch(monitor));
    if (!gst_device_monitor_start(monitor))
        return nullptr;
    return watch;
}

CameraWatch::CameraWatch(GstDeviceMonitor *monitor)
    : monitor_(monitor), bus_(gst_device_monitor_get_bus(monitor)), guiThread_(std::make_unique<QObject>())
{
    // Providers post from their own threads; the handler only forwards.
    gst_bus_set_sync_handler(bus_.get(), &CameraWatch::onMessage, this, nullptr);
}

CameraWatch::~CameraWatch()
{
    // Stopped providers post nothing more, so the handler can go safely after.
    gst_device_monitor_stop(monitor_.get());
    gst_bus_set_sync_handler(bus_.get(), nullptr, nullptr, nullptr);
}

std::vector<gstref::Device> CameraWatch::cameras() const
{
    std::vector<gstref::Device> cameras;
    GList *devices = gst_device_monitor_get_devices(monitor_.get());
    for (GList *each = devices; each; each = each->next)
        cameras.emplace_back(GST_DEVICE(each->data));
    g_list_free(devices);
    return cameras;
}

// A sync handler that drops a message owns it.
GstBusSyncReply CameraWatch::onMessage(GstBus *, GstMessage *message, gpointer self)
{
    const gstref::Message owned(message);
    GstDevice *device = nullptr;
    const bool added = GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_ADDED;
    if (added)
        gst_message_parse_device_added(message, &device);
    else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_REMOVED)
        gst_message_parse_device_removed(message, &device);
    if (device)
        static_cast<CameraWatch *>(self)->deliver(gstref::Device(device), added);
    return GST_BUS_DROP;
}

void CameraWatch::deliver(gstref::Device device, bool added)
{
    auto shared = std::make_shared<gstref::Device>(std::move(device));
    QMetaObject::invokeMethod(
        guiThread_.get(),
        [this, shared, added] {
            if (listener_)
                listener_(shared->get(), added);
        },
        Qt::QueuedConnection);
}
