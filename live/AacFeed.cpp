#include "live/AacFeed.h"

namespace {

// In order of preference; the first one installed is used.
constexpr const char *Encoders[] = {"voaacenc", "avenc_aac", "fdkaacenc"};

const char *installedEncoder()
{
    for (const char *factory : Encoders) {
        if (GstElementFactory *found = gst_element_factory_find(factory)) {
            gst_object_unref(found);
            return factory;
        }
    }
    return nullptr;
}

} // namespace

void AacFeed::setDevice(GstDevice *device)
{
    std::lock_guard lock(deviceMutex_);
    device_.reset(device ? GST_DEVICE(gst_object_ref(device)) : nullptr);
}

gstref::Element AacFeed::buildPipeline(QString &failure)
{
    const char *encoder = installedEncoder();
    if (!encoder) {
        failure = QStringLiteral("no AAC encoder is installed (voaacenc is in gstreamer1.0-plugins-bad)");
        return {};
    }
    const QString rest = QStringLiteral("audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 ! "
                                        "%1 bitrate=%2 ! aacparse ! appsink name=out")
                             .arg(QString::fromLatin1(encoder))
                             .arg(BitrateBps);
    GError *raw = nullptr;
    GstElement *encoding = gst_parse_bin_from_description(rest.toUtf8().constData(), TRUE, &raw);
    gstref::Error error(raw);
    if (!encoding || error) {
        if (encoding)
            gst_object_unref(gst_object_ref_sink(encoding));
        failure = QStringLiteral("the AAC encoder cannot be used: %1")
                      .arg(error ? QString::fromUtf8(error->message) : QString());
        return {};
    }
    GstElement *source = nullptr;
    {
        std::lock_guard lock(deviceMutex_);
        source = device_ ? gst_device_create_element(device_.get(), "microphone")
                         : gst_parse_bin_from_description("audiotestsrc wave=silence is-live=true", TRUE, nullptr);
    }
    gstref::Element pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    gst_bin_add(GST_BIN(pipeline.get()), encoding);
    if (!source) {
        failure = QStringLiteral("the microphone gives no source element");
        return {};
    }
    gst_bin_add(GST_BIN(pipeline.get()), source);
    if (!gst_element_link(source, encoding)) {
        failure = QStringLiteral("the microphone's sound cannot be encoded");
        return {};
    }
    return pipeline;
}
