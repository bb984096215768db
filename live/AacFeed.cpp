#include "live/AacFeed.h"

#include "gst/Pipelines.h"

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

QString AacFeed::encoding(GstDevice *, QString &failure) const
{
    const char *encoder = installedEncoder();
    if (!encoder) {
        failure = QStringLiteral("no AAC encoder is installed (voaacenc is in gstreamer1.0-plugins-bad)");
        return {};
    }
    return QStringLiteral("audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 ! "
                          "%1 bitrate=%2 ! aacparse ! appsink name=out")
        .arg(QString::fromLatin1(encoder))
        .arg(BitrateBps);
}

gstref::Element AacFeed::silence(QString &failure) const
{
    return pipelines::BinFromText(QStringLiteral("audiotestsrc wave=silence is-live=true"), failure);
}
