#include "live/H264Feed.h"

#include "gst/Pipelines.h"

#include <QStringList>

#include <algorithm>

namespace {

struct EncoderChoice {
    const char *factory;
    const char *launch; // the encoder and what it needs on either side
    bool hardware;
};

// In order of preference; the first one installed is tried.
constexpr EncoderChoice Encoders[] = {
    {"vah264lpenc",
     "videoconvert ! video/x-raw,format=NV12 ! vah264lpenc name=enc b-frames=0 key-int-max=45 "
     "bitrate=%1",
     true},
    {"vah264enc", "videoconvert ! video/x-raw,format=NV12 ! vah264enc name=enc b-frames=0 key-int-max=45 bitrate=%1",
     true},
    {"vaapih264enc", "vaapipostproc ! vaapih264enc name=enc max-bframes=0 keyframe-period=45 bitrate=%1", true},
    {"x264enc",
     "videoconvert ! video/x-raw,format=I420 ! x264enc name=enc tune=zerolatency speed-preset=superfast bframes=0 "
     "key-int-max=45 bitrate=%1 ! video/x-h264,profile=constrained-baseline",
     false},
};

bool installed(const char *factory)
{
    GstElementFactory *found = gst_element_factory_find(factory);
    if (!found)
        return false;
    gst_object_unref(found);
    return true;
}

} // namespace

H264Feed::~H264Feed()
{
    endFeeding();
    releaseInput();
}

void H264Feed::releaseInput()
{
    std::lock_guard lock(inputMutex_);
    if (input_)
        gst_object_unref(input_);
    input_ = nullptr;
    if (encoder_)
        gst_object_unref(encoder_);
    encoder_ = nullptr;
    gst_caps_replace(&inputCaps_, nullptr);
}

// Every encoder we use takes kilobits per second, and takes a new rate while it runs.
void H264Feed::setBitrate(int kbps)
{
    std::lock_guard lock(inputMutex_);
    if (bitrateKbps_.exchange(kbps) != kbps && encoder_)
        g_object_set(encoder_, "bitrate", static_cast<guint>(kbps), nullptr);
}

gstref::Element H264Feed::buildPipeline(QString &failure)
{
    for (const EncoderChoice &choice : Encoders) {
        if ((choice.hardware && hardwareFailed_) || !installed(choice.factory))
            continue;
        const QString launch =
            QStringLiteral("appsrc name=in is-live=true format=time max-buffers=2 leaky-type=2 ! "
                           "queue max-size-buffers=2 leaky=downstream ! %1 ! h264parse config-interval=-1 ! "
                           "video/x-h264,stream-format=byte-stream,alignment=au ! appsink name=out")
                .arg(QString::fromLatin1(choice.launch).arg(bitrateKbps_.load()));
        if (gstref::Element pipeline = pipelines::FromText(launch, failure)) {
            hardwareInUse_ = choice.hardware;
            std::lock_guard lock(inputMutex_); // read by every thread that asks for its name
            encoderName_ = QString::fromLatin1(choice.factory);
            return pipeline;
        }
    }
    if (failure.isEmpty())
        failure = QStringLiteral("no H.264 encoder is installed (x264enc is in gstreamer1.0-plugins-ugly)");
    return {};
}

void H264Feed::pipelineStarted(GstElement *pipeline)
{
    releaseInput();
    GstElement *in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    std::lock_guard lock(inputMutex_);
    input_ = in ? GST_APP_SRC(in) : nullptr;
    encoder_ = gst_bin_get_by_name(GST_BIN(pipeline), "enc");
    if (encoder_) // a rate set while the pipeline was being built
        g_object_set(encoder_, "bitrate", static_cast<guint>(bitrateKbps_.load()), nullptr);
    inputLast_ = GST_CLOCK_TIME_NONE;
    gst_caps_replace(&inputCaps_, nullptr);
}

void H264Feed::pipelineStopped(bool failed)
{
    // A hardware encoder that failed is not chosen again.
    hardwareFailed_ = hardwareFailed_ || (failed && hardwareInUse_);
    releaseInput();
    std::lock_guard lock(inputMutex_);
    encoderName_.clear();
}

QString H264Feed::encoderName() const
{
    std::lock_guard lock(inputMutex_);
    return encoderName_;
}

double H264Feed::framesPerSecond() const
{
    constexpr qint64 Window = 1'500'000;
    const qint64 now = g_get_real_time();
    std::lock_guard lock(inputMutex_);
    const size_t kept = std::min(arrivalCount_, arrivals_.size());
    qint64 oldest = 0;
    int recent = 0;
    for (size_t n = 0; n < kept; ++n) {
        const qint64 at = arrivals_[(arrivalCount_ - 1 - n) % arrivals_.size()];
        if (now - at > Window)
            break;
        oldest = at;
        ++recent;
    }
    const qint64 newest = kept ? arrivals_[(arrivalCount_ - 1) % arrivals_.size()] : 0;
    return recent < 2 || newest == oldest ? 0.0 : (recent - 1) * 1e6 / static_cast<double>(newest - oldest);
}

void H264Feed::offer(GstSample *sample, qint64 captureMicros)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstCaps *caps = gst_sample_get_caps(sample);
    std::lock_guard lock(inputMutex_);
    arrivals_[arrivalCount_++ % arrivals_.size()] = captureMicros;
    if (!input_ || !buffer || !caps)
        return;
    if (!inputCaps_ || !gst_caps_is_equal(caps, inputCaps_)) {
        gst_app_src_set_caps(input_, caps);
        gst_caps_replace(&inputCaps_, caps);
    }
    if (GstBuffer *stamped = StampedNow(input_, buffer, inputLast_))
        gst_app_src_push_buffer(input_, stamped);
}
