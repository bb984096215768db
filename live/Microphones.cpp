#include "live/Microphones.h"

#include "gst/GstStart.h"

#include <QStringList>

// GStreamer may start here first (with a camera that is not a GStreamer one): it starts the
// way the capture starts it.
std::unique_ptr<Microphones> Microphones::start()
{
    if (!StartGStreamer())
        return nullptr;
    std::unique_ptr<Microphones> microphones(new Microphones);
    if (!microphones->watch_.follow())
        return nullptr;
    return microphones;
}

QString Microphones::NameOf(GstDevice *device)
{
    const gstref::String name(gst_device_get_display_name(device));
    return QString::fromUtf8(name.get());
}

bool Microphones::IsSpeakerMonitor(GstDevice *device)
{
    GstStructure *properties = gst_device_get_properties(device);
    const char *kind = properties ? gst_structure_get_string(properties, "device.class") : nullptr;
    const bool monitor = kind && g_str_equal(kind, "monitor");
    if (properties)
        gst_structure_free(properties);
    return monitor || NameOf(device).startsWith(QStringLiteral("Monitor of "));
}

std::vector<gstref::Device> Microphones::list() const
{
    std::vector<gstref::Device> microphones = watch_.devices();
    std::erase_if(microphones, [](const gstref::Device &device) { return IsSpeakerMonitor(device.get()); });
    return microphones;
}

QStringList Microphones::names() const
{
    QStringList names;
    for (const gstref::Device &device : list())
        names.append(NameOf(device.get()));
    return names;
}

gstref::Device Microphones::find(const QString &name) const
{
    for (gstref::Device &device : list()) {
        if (NameOf(device.get()) == name)
            return std::move(device);
    }
    return {};
}

void Microphones::setListener(Listener listener)
{
    watch_.setListener([listener = std::move(listener)](GstDevice *device, bool added) {
        if (!IsSpeakerMonitor(device))
            listener(NameOf(device), added);
    });
}
