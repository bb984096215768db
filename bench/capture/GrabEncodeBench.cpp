// Grab plus encode of one frame against a plain libjpeg-turbo compress of the
// same pixels, frame by frame in the same run, at 640x480 and 1280x720.
#include "capture/CaptureDevice.h"
#include "capture/JpegImage.h"
#include "capture/gstreamer/GstCapturePlatform.h"
#include "gst/GstStart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Frames = 200;
constexpr int Quality = 75;

// The encoder's own time: libjpeg-turbo straight from a plain pixel buffer.
qint64 plainCompressNs(const std::vector<unsigned char> &pixels, int width, int height)
{
    QElapsedTimer timer;
    timer.start();
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, Quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto *row = const_cast<JSAMPLE *>(pixels.data() + static_cast<size_t>(info.next_scanline) * width * 4);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    free(out);
    return timer.nsecsElapsed();
}

std::vector<unsigned char> copyPixels(const QImage &image)
{
    std::vector<unsigned char> pixels(static_cast<size_t>(image.width()) * image.height() * 4);
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(image.constScanLine(y), image.width() * 4,
                    pixels.data() + static_cast<size_t>(y) * image.width() * 4);
    return pixels;
}

double median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return static_cast<double>(values[values.size() / 2]);
}

void measure(QSize size)
{
    QWidget preview;
    auto owned = std::make_unique<GstCapturePlatform>(ListCaptureSources());
    GstCapturePlatform *platform = owned.get();
    CaptureDevice device(&preview, std::move(owned));
    const int pattern = static_cast<int>(device.DriverNames().size()) - 1;
    platform->chooseSize(pattern, size);
    device.SelectDriver(pattern);

    JpegImage jpeg;
    jpeg.setQuality(Quality);
    std::vector<qint64> grab;
    std::vector<qint64> plain;
    quint64 lastSerial = 0;
    while (static_cast<int>(grab.size()) < Frames) {
        // Wait, untimed, for a frame not encoded yet: the grab never reuses bytes here.
        if (platform->currentFrame().serial == lastSerial) {
            QTest::qWait(2);
            continue;
        }
        QElapsedTimer timer;
        timer.start();
        const CapturedFrame frame = device.SaveFrameToMemory();
        if (!jpeg.encode(frame))
            qFatal("encoding failed");
        grab.push_back(timer.nsecsElapsed());
        lastSerial = frame.serial;
        plain.push_back(plainCompressNs(copyPixels(frame.image), frame.image.width(), frame.image.height()));
    }
    const double grabMs = median(grab) / 1e6;
    const double plainMs = median(plain) / 1e6;
    std::printf("%4dx%-4d  grab+encode %.3f ms  plain libjpeg %.3f ms  overhead %+.1f%%  pixel copies per frame: %d\n",
                size.width(), size.height(), grabMs, plainMs, (grabMs / plainMs - 1.0) * 100.0,
                platform->session()->convertsPixels() ? 1 : 0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (!StartGStreamer())
        qFatal("GStreamer is not available");
    std::printf("median of %d frames, quality %d, built-in test pattern\n", Frames, Quality);
    measure({640, 480});
    measure({1280, 720});
    return 0;
}
