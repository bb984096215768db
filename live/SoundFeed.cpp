#include "live/SoundFeed.h"

#include "gst/Pipelines.h"
#include "live/Microphones.h"

namespace {

gstref::Element microphone(GstDevice *device)
{
    GstElement *made = gst_device_create_element(device, "microphone");
    return gstref::Element(made ? GST_ELEMENT(gst_object_ref_sink(made)) : nullptr);
}

} // namespace

SoundFeed::~SoundFeed() { endFeeding(); }

void SoundFeed::setDevice(GstDevice *device)
{
    std::lock_guard lock(deviceMutex_);
    device_.reset(device ? GST_DEVICE(gst_object_ref(device)) : nullptr);
}

QString SoundFeed::deviceName() const
{
    std::lock_guard lock(deviceMutex_);
    return device_ ? Microphones::NameOf(device_.get()) : QString();
}

gstref::Element SoundFeed::buildPipeline(QString &failure)
{
    std::lock_guard lock(deviceMutex_);
    const QString after = encoding(device_.get(), failure);
    if (after.isEmpty())
        return {};
    gstref::Element source = device_ ? microphone(device_.get()) : silence(failure);
    if (!source) {
        if (failure.isEmpty())
            failure = QStringLiteral("the microphone gives no source element");
        return {};
    }
    QString why;
    gstref::Element rest = pipelines::BinFromText(after, why);
    if (!rest) {
        failure = QStringLiteral("no %1 encoder: %2").arg(codec(), why);
        return {};
    }
    gstref::Element pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    gst_bin_add_many(GST_BIN(pipeline.get()), GST_ELEMENT(gst_object_ref(source.get())),
                     GST_ELEMENT(gst_object_ref(rest.get())), nullptr);
    if (!gst_element_link(source.get(), rest.get())) {
        failure = QStringLiteral("the microphone's sound cannot be encoded");
        return {};
    }
    return pipeline;
}
