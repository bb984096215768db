#include "capture/gstreamer/CaptureSource.h"

#include <algorithm>

namespace {

// Sizes offered by the test pattern, and the one every source starts with when it has it.
constexpr QSize PatternSizes[] = {{160, 120}, {176, 144},  {320, 240},  {352, 288},  {640, 480},
                                  {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
constexpr QSize StartSize{320, 240};

QString propertyText(const GstStructure *properties, const char *key)
{
    const gchar *value = properties ? gst_structure_get_string(properties, key) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

// "uvcvideo (v4l2) 6.1.0": the driver, the interface and the driver's version where known.
QString deviceVersion(GstDevice *device)
{
    std::unique_ptr<GstStructure, decltype(&gst_structure_free)> properties(gst_device_get_properties(device),
                                                                            &gst_structure_free);
    const QString api = propertyText(properties.get(), "device.api");
    QString driver = propertyText(properties.get(), "v4l2.device.driver");
    guint version = 0;
    if (properties && gst_structure_get_uint(properties.get(), "v4l2.device.version", &version))
        driver += QStringLiteral(" %1.%2.%3").arg(version >> 16).arg((version >> 8) & 0xff).arg(version & 0xff);
    if (api.isEmpty())
        return driver.trimmed().isEmpty() ? QStringLiteral("unknown driver") : driver.trimmed();
    return driver.trimmed().isEmpty() ? api : QStringLiteral("%1 (%2)").arg(driver.trimmed(), api);
}

QString deviceProperty(GstDevice *device, const char *key)
{
    std::unique_ptr<GstStructure, decltype(&gst_structure_free)> properties(gst_device_get_properties(device),
                                                                            &gst_structure_free);
    return propertyText(properties.get(), key);
}

double rateOf(const GValue *value)
{
    if (GST_VALUE_HOLDS_FRACTION(value)) {
        const int denominator = gst_value_get_fraction_denominator(value);
        return denominator > 0 ? static_cast<double>(gst_value_get_fraction_numerator(value)) / denominator : 0;
    }
    if (GST_VALUE_HOLDS_FRACTION_RANGE(value))
        return rateOf(gst_value_get_fraction_range_max(value));
    double highest = 0;
    if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            highest = std::max(highest, rateOf(gst_value_list_get_value(value, i)));
    }
    return highest;
}

// The most frames a second a format comes at; 0 where it does not say.
double highestRate(const GstStructure *format)
{
    const GValue *rates = gst_structure_get_value(format, "framerate");
    return rates ? rateOf(rates) : 0;
}

// Raw pixels cost no decoding: JPEG is taken only where it comes faster.
bool better(const SourceSize &offered, const SourceSize &held)
{
    if (offered.framesPerSecond != held.framesPerSecond)
        return offered.framesPerSecond > held.framesPerSecond;
    return held.jpeg && !offered.jpeg;
}

void addSize(QList<SourceSize> &sizes, const SourceSize &offered)
{
    if (offered.size.isEmpty())
        return;
    auto same =
        std::find_if(sizes.begin(), sizes.end(), [&](const SourceSize &each) { return each.size == offered.size; });
    if (same == sizes.end())
        sizes.append(offered);
    else if (better(offered, *same))
        *same = offered;
}

void addSizesOf(QList<SourceSize> &sizes, const GstStructure *format)
{
    const bool jpeg = gst_structure_has_name(format, "image/jpeg");
    if (!jpeg && !gst_structure_has_name(format, "video/x-raw"))
        return;
    const double rate = highestRate(format);
    int width = 0;
    int height = 0;
    if (gst_structure_get_int(format, "width", &width) && gst_structure_get_int(format, "height", &height)) {
        addSize(sizes, {{width, height}, jpeg, rate});
        return;
    }
    // A range of sizes: offer the usual ones inside it.
    for (QSize usual : PatternSizes) {
        gstref::Caps probe(gst_caps_new_simple(gst_structure_get_name(format), "width", G_TYPE_INT, usual.width(),
                                               "height", G_TYPE_INT, usual.height(), nullptr));
        gstref::Caps offered(gst_caps_new_full(gst_structure_copy(format), nullptr));
        if (gst_caps_can_intersect(probe.get(), offered.get()))
            addSize(sizes, {usual, jpeg, rate});
    }
}

QList<SourceSize> sizesOfDevice(GstDevice *device)
{
    QList<SourceSize> sizes;
    gstref::Caps caps(gst_device_get_caps(device));
    for (guint i = 0; caps && i < gst_caps_get_size(caps.get()); ++i)
        addSizesOf(sizes, gst_caps_get_structure(caps.get(), i));
    std::sort(sizes.begin(), sizes.end(), [](const SourceSize &a, const SourceSize &b) {
        return std::pair(a.size.width(), a.size.height()) < std::pair(b.size.width(), b.size.height());
    });
    return sizes;
}

} // namespace

CaptureSource CaptureSource::camera(GstDevice *device)
{
    CaptureSource source;
    source.device_.reset(GST_DEVICE(gst_object_ref(device)), [](GstDevice *each) { gst_object_unref(each); });
    gstref::String name(gst_device_get_display_name(device));
    source.name_ = QString::fromUtf8(name.get());
    source.version_ = deviceVersion(device);
    source.path_ = deviceProperty(device, "device.path");
    source.serial_ = deviceProperty(device, "device.serial");
    source.origin_ = source.path_.isEmpty() ? source.name_ : source.path_;
    source.sizes_ = sizesOfDevice(device);
    return source;
}

CaptureSource CaptureSource::testPattern()
{
    CaptureSource source;
    source.name_ = QStringLiteral("Built-in Test Pattern");
    gstref::String version(gst_version_string());
    source.version_ = QString::fromUtf8(version.get());
    source.origin_ = QStringLiteral("the built-in test pattern");
    for (QSize size : PatternSizes)
        source.sizes_.append({size, false});
    return source;
}

int CaptureSource::sameCameraAs(const CaptureSource &other) const
{
    if (isTestPattern() || other.isTestPattern())
        return 0;
    const bool sameSerial = !serial_.isEmpty() && serial_ == other.serial_;
    const bool samePath = !path_.isEmpty() && path_ == other.path_;
    return (sameSerial ? 2 : 0) + (samePath ? 1 : 0);
}

SourceSize CaptureSource::preferredSize() const
{
    for (const SourceSize &each : sizes_) {
        if (each.size == StartSize)
            return each;
    }
    return sizes_.isEmpty() ? SourceSize{} : sizes_.constFirst();
}

gstref::Element CaptureSource::makeElement(const QString &pattern) const
{
    GstElement *made =
        device_ ? gst_device_create_element(device_.get(), nullptr) : gst_element_factory_make("videotestsrc", nullptr);
    if (!made)
        return {};
    gstref::Element element(GST_ELEMENT(gst_object_ref_sink(made)));
    if (device_)
        return element;
    // A live, moving picture at the pace of a camera.
    g_object_set(element.get(), "is-live", TRUE, "horizontal-speed", 2, nullptr);
    if (!pattern.isEmpty())
        gst_util_set_object_arg(G_OBJECT(element.get()), "pattern", pattern.toUtf8().constData());
    return element;
}

QString NameApartFrom(const QList<CaptureSource> &listed, const QString &name)
{
    const auto taken = [&](const QString &candidate) {
        return std::any_of(listed.begin(), listed.end(),
                           [&](const CaptureSource &each) { return each.name() == candidate; });
    };
    QString apart = name;
    for (int number = 2; taken(apart); ++number)
        apart = QStringLiteral("%1 (%2)").arg(name).arg(number);
    return apart;
}

QList<CaptureSource> CaptureSourcesOf(const QList<GstDevice *> &cameras)
{
    QList<CaptureSource> sources;
    for (GstDevice *camera : cameras) {
        CaptureSource source = CaptureSource::camera(camera);
        source.setName(NameApartFrom(sources, source.name()));
        sources.append(std::move(source));
    }
    sources.append(CaptureSource::testPattern());
    return sources;
}

QList<CaptureSource> ListCaptureSources()
{
    std::unique_ptr<GstDeviceMonitor, gstref::ObjectUnref> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    GList *devices = gst_device_monitor_get_devices(monitor.get());
    QList<GstDevice *> cameras;
    for (GList *each = devices; each; each = each->next)
        cameras.append(GST_DEVICE(each->data));
    QList<CaptureSource> sources = CaptureSourcesOf(cameras);
    g_list_free_full(devices, gst_object_unref);
    return sources;
}
