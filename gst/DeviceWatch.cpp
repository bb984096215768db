#include "gst/DeviceWatch.h"

DeviceWatch::DeviceWatch(const char *deviceClass)
    : monitor_(gst_device_monitor_new()), bus_(gst_device_monitor_get_bus(monitor_.get()))
{
    gst_device_monitor_add_filter(monitor_.get(), deviceClass, nullptr);
    // Providers post from their own threads; the handler only forwards.
    gst_bus_set_sync_handler(bus_.get(), &DeviceWatch::onMessage, this, nullptr);
}

DeviceWatch::~DeviceWatch()
{
    // Stopped providers post nothing more, so the handler can go safely after.
    gst_device_monitor_stop(monitor_.get());
    gst_bus_set_sync_handler(bus_.get(), nullptr, nullptr, nullptr);
}

bool DeviceWatch::follow() { return gst_device_monitor_start(monitor_.get()); }

std::vector<gstref::Device> DeviceWatch::devices() const
{
    std::vector<gstref::Device> found;
    GList *devices = gst_device_monitor_get_devices(monitor_.get());
    for (GList *each = devices; each; each = each->next)
        found.emplace_back(GST_DEVICE(each->data));
    g_list_free(devices);
    return found;
}

// A sync handler that drops a message owns it.
GstBusSyncReply DeviceWatch::onMessage(GstBus *, GstMessage *message, gpointer self)
{
    const gstref::Message owned(message);
    GstDevice *device = nullptr;
    const bool added = GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_ADDED;
    if (added)
        gst_message_parse_device_added(message, &device);
    else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_REMOVED)
        gst_message_parse_device_removed(message, &device);
    if (device)
        static_cast<DeviceWatch *>(self)->deliver(gstref::Device(device), added);
    return GST_BUS_DROP;
}

void DeviceWatch::deliver(gstref::Device device, bool added)
{
    auto shared = std::make_shared<gstref::Device>(std::move(device));
    post_.post([this, shared, added] {
        if (listener_)
            listener_(shared->get(), added);
    });
}
