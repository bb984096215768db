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
    const QString encoding = QStringLiteral("audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 ! "
                                            "%1 bitrate=%2 ! aacparse ! appsink name=out")
                                 .arg(QString::fromLatin1(encoder))
                                 .arg(BitrateBps);
    std::lock_guard lock(deviceMutex_);
    GstElement *source = device_
                             ? gst_device_create_element(device_.get(), "microphone")
                             : gst_parse_bin_from_description("audiotestsrc wave=silence is-live=true", TRUE, nullptr);
    return SoundPipeline(source, encoding, "AAC", failure);
}
