#include "capture/gstreamer/CaptureSession.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <atomic>

namespace {

constexpr int PatternFramesPerSecond = 30;

// Frames are numbered over the whole run, whatever session they come from, so
// that a number always stands for one picture (the encoder keeps its bytes for it).
quint64 nextFrameNumber()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

gstref::Caps sizeCaps(const SourceSize &format, bool testPattern)
{
    if (format.size.isEmpty())
        return gstref::Caps(gst_caps_new_any());
    const char *media = format.jpeg ? "image/jpeg" : "video/x-raw";
    gstref::Caps caps(gst_caps_new_simple(media, "width", G_TYPE_INT, format.size.width(), "height", G_TYPE_INT,
                                          format.size.height(), nullptr));
    if (testPattern) {
        // The pattern draws straight into the format the encoder reads.
        gst_caps_set_simple(caps.get(), "format", G_TYPE_STRING, "BGRx", "framerate", GST_TYPE_FRACTION,
                            PatternFramesPerSecond, 1, nullptr);
    }
    return caps;
}

GstElement *make(const char *factory) { return gst_element_factory_make(factory, nullptr); }

void releaseFrame(void *frame)
{
    auto *mapped = static_cast<GstVideoFrame *>(frame);
    gst_video_frame_unmap(mapped);
    delete mapped;
}

// Wraps the sample's pixels without copying them; the image holds the buffer until it goes.
CapturedFrame wrapSample(GstSample *sample, quint64 serial)
{
    CapturedFrame frame;
    frame.serial = serial;
    frame.state = CapturedFrame::State::Damaged;
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstCaps *caps = gst_sample_get_caps(sample);
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx)
        return frame;
    auto *mapped = new GstVideoFrame;
    if (!gst_video_frame_map(mapped, &info, buffer, GST_MAP_READ)) {
        delete mapped;
        return frame;
    }
    frame.image = QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(mapped, 0)),
                         GST_VIDEO_FRAME_WIDTH(mapped), GST_VIDEO_FRAME_HEIGHT(mapped),
                         GST_VIDEO_FRAME_PLANE_STRIDE(mapped, 0), QImage::Format_RGB32, releaseFrame, mapped);
    frame.state = CapturedFrame::State::Ready;
    return frame;
}

} // namespace

CaptureSession::~CaptureSession()
{
    if (pipeline_)
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
}

std::unique_ptr<CaptureSession> CaptureSession::start(gstref::Element source, const SourceSize &format)
{
    std::unique_ptr<CaptureSession> session(new CaptureSession);
    if (!source || !session->build(std::move(source), format))
        return nullptr;
    if (gst_element_set_state(session->pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return nullptr;
    return session;
}

bool CaptureSession::build(gstref::Element source, const SourceSize &format)
{
    const bool testPattern = g_strcmp0(G_OBJECT_TYPE_NAME(source.get()), "GstVideoTestSrc") == 0;
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("capture"))));
    GstElement *sizeFilter = make("capsfilter");
    GstElement *decoder = format.jpeg ? make("jpegdec") : make("identity");
    GstElement *converter = make("videoconvert");
    GstElement *sink = make("appsink");
    if (!sizeFilter || !decoder || !converter || !sink) {
        for (GstElement *made : {sizeFilter, decoder, converter, sink}) {
            if (made)
                gst_object_unref(gst_object_ref_sink(made));
        }
        return false;
    }
    source_ = source.get();
    converter_ = converter;
    g_object_set(sizeFilter, "caps", sizeCaps(format, testPattern).get(), nullptr);
    gstref::Caps pixels(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr));
    gst_app_sink_set_caps(GST_APP_SINK(sink), pixels.get());
    gst_app_sink_set_drop(GST_APP_SINK(sink), TRUE);
    gst_app_sink_set_max_buffers(GST_APP_SINK(sink), 1);
    g_object_set(sink, "sync", FALSE, "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &CaptureSession::onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);

    // The pipeline takes its own reference to the source; ours goes with `source`.
    gst_bin_add_many(GST_BIN(pipeline_.get()), source.get(), sizeFilter, decoder, converter, sink, nullptr);
    return gst_element_link_many(source_, sizeFilter, decoder, converter, sink, nullptr);
}

CapturedFrame CaptureSession::newestFrame()
{
    pollBus();
    if (failed_)
        return {};
    gstref::Sample sample;
    quint64 serial = 0;
    qint64 micros = 0;
    {
        std::lock_guard lock(mutex_);
        if (!newest_ || serial_ == shared_.serial)
            return newest_ ? shared_ : CapturedFrame{};
        sample.reset(gst_sample_ref(newest_.get()));
        serial = serial_;
        micros = newestMicros_;
    }
    shared_ = wrapSample(sample.get(), serial);
    shared_.captureMicros = micros;
    if (shared_.ready())
        size_ = shared_.image.size();
    return shared_;
}

bool CaptureSession::healthy()
{
    pollBus();
    return !failed_;
}

bool CaptureSession::delivering(std::chrono::milliseconds limit)
{
    const std::chrono::steady_clock::time_point last{std::chrono::steady_clock::duration(lastArrival_.load())};
    return healthy() && std::chrono::steady_clock::now() - last < limit;
}

void CaptureSession::pollBus()
{
    if (failed_ || !pipeline_)
        return;
    gstref::Bus bus(gst_element_get_bus(pipeline_.get()));
    const auto kinds = static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
    gstref::Message message(gst_bus_pop_filtered(bus.get(), kinds));
    if (!message)
        return;
    failed_ = true;
    failure_ = QStringLiteral("end of stream");
    if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
        GError *raw = nullptr;
        gst_message_parse_error(message.get(), &raw, nullptr);
        gstref::Error error(raw);
        failure_ = error ? QString::fromUtf8(error->message) : QStringLiteral("pipeline error");
    }
    // The last picture of a failed source is not the current picture.
    std::lock_guard lock(mutex_);
    newest_.reset();
    shared_ = {};
}

void CaptureSession::setFrameTap(std::shared_ptr<FrameTap> tap)
{
    std::lock_guard lock(mutex_);
    tap_ = std::move(tap);
}

void CaptureSession::store(GstSample *sample, qint64 arrivalMicros)
{
    std::shared_ptr<FrameTap> tap;
    {
        std::lock_guard lock(mutex_);
        newest_.reset(sample);
        serial_ = nextFrameNumber();
        newestMicros_ = arrivalMicros;
        tap = tap_;
    }
    if (tap)
        tap->offer(sample, arrivalMicros);
    lastArrival_ = std::chrono::steady_clock::now().time_since_epoch().count();
    postNotice();
}

// Runs on the streaming thread. At most one notice waits in the GUI thread's queue, so a
// busy GUI thread never piles them up.
void CaptureSession::postNotice()
{
    if (noticePending_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        noticeTarget_.get(),
        [this] {
            noticePending_ = false;
            if (frameListener_)
                frameListener_();
        },
        Qt::QueuedConnection);
}

GstFlowReturn CaptureSession::onNewSample(GstAppSink *sink, gpointer session)
{
    if (GstSample *sample = gst_app_sink_pull_sample(sink))
        static_cast<CaptureSession *>(session)->store(sample, g_get_real_time());
    return GST_FLOW_OK;
}

bool CaptureSession::convertsPixels() const
{
    return !gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(converter_));
}
