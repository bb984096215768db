// The whole program with its server on, for load benchmarks: the built-in test pattern at
// 640x480, JPEG quality 75, listening on the port given, with RTSP on the second port given
// (off without one). It runs until it is terminated.
// Every second it prints the newest frame's number, the JPEG encodings made, the stream's
// viewers and the longest the GUI thread kept a 5 ms timer waiting over that second:
// "frames <n> encodes <n> viewers <n> gui-wait <ms>".
// With "stamp" as the third argument, every frame the H.264 encoder gets carries its capture
// time drawn into its top 16 rows: the wall-clock milliseconds modulo 2^40, as 40 cells of
// 16x16 pixels, white for 1, most significant first; a browser reads it back from the picture.
// Settings in VANTREL_BENCH_SETTINGS ("\n" between lines) are added to its settings file,
// keys in VANTREL_BENCH_MAIN to its [FormMain] section.
// Usage: ServerBench <port> [<RTSP port> [stamp]]
#include "app/Globals.h"
#include "app/ProgramEntry.h"
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "app/VantrelApplication.h"
#include "capture/CaptureDevice.h"
#include "capture/CapturePlatformFactory.h"
#include "capture/FrameTap.h"
#include "capture/JpegImage.h"
#include "capture/gstreamer/CaptureSource.h"
#include "capture/gstreamer/GstCapturePlatform.h"
#include "gst/GstStart.h"
#include "live/LiveService.h"
#include "server/MjpegStream.h"

#include <gst/video/video.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr int StampBits = 40;
constexpr int StampCell = 16;

// Draws the capture time into a copy of each frame and hands the copy on.
class StampingTap : public FrameTap {
public:
    explicit StampingTap(std::shared_ptr<FrameTap> next) : next_(std::move(next)) {}

    void offer(GstSample *sample, qint64 captureMicros) override
    {
        GstVideoInfo info;
        if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
            GST_VIDEO_INFO_WIDTH(&info) < StampBits * StampCell) {
            next_->offer(sample, captureMicros);
            return;
        }
        GstBuffer *copy = gst_buffer_copy_deep(gst_sample_get_buffer(sample));
        GstMapInfo map;
        if (gst_buffer_map(copy, &map, GST_MAP_WRITE)) {
            const quint64 stamp = static_cast<quint64>(captureMicros / 1000) & ((quint64{1} << StampBits) - 1);
            const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
            for (int bit = 0; bit < StampBits; ++bit) {
                const quint8 value = (stamp >> (StampBits - 1 - bit)) & 1 ? 255 : 0;
                for (int y = 0; y < StampCell; ++y)
                    std::memset(map.data + y * stride + bit * StampCell * 4, value, StampCell * 4);
            }
            gst_buffer_unmap(copy, &map);
        }
        GstSample *stamped = gst_sample_new(copy, gst_sample_get_caps(sample), nullptr, nullptr);
        gst_buffer_unref(copy);
        next_->offer(stamped, captureMicros);
        gst_sample_unref(stamped);
    }

private:
    std::shared_ptr<FrameTap> next_;
};

} // namespace

int main(int argc, char **argv)
{
    VantrelApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!StartGStreamer())
        qFatal("GStreamer is not available");
    const int port = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 8282;
    const int rtspPort = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 0;
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });

    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("bench.INI"));
    QFile file(settings);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the settings file");
    file.write(QStringLiteral("[FormMain]\nPort=%1\nRtspPort=%2\nJPEGQuality=75\nEnabled=1\n")
                   .arg(port)
                   .arg(rtspPort)
                   .toLatin1());
    // More keys of the main window's section, as "Https=1\nHttpsKey=...".
    file.write(qgetenv("VANTREL_BENCH_MAIN").replace("\\n", "\n"));
    file.write(qgetenv("VANTREL_BENCH_SETTINGS").replace("\\n", "\n"));
    file.close();
    const ScopedSeam<QByteArray()> settingsSeam(SettingsFileLocation, [&] { return QFile::encodeName(settings); });

    const ScopedSeam<std::unique_ptr<CapturePlatform>()> platformSeam(MakeCapturePlatform, [] {
        auto platform = std::make_unique<GstCapturePlatform>(ListCaptureSources());
        // Driver 0 is the test pattern on a machine without a camera.
        platform->chooseSize(0, {640, 480});
        return std::unique_ptr<CapturePlatform>(std::move(platform));
    });

    CreateProgramWindows();
    FormMain->show();
    std::printf("serving on %d\n", port);
    std::fflush(stdout);
    QElapsedTimer sinceTick;
    qint64 longestWait = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longestWait = std::max(longestWait, sinceTick.restart()); });
    sinceTick.start();
    tick.start(5);
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf("frames %llu encodes %llu viewers %d gui-wait %lld\n",
                    static_cast<unsigned long long>(Capture->SaveFrameToMemory().serial),
                    static_cast<unsigned long long>(FormMain->FrameJpeg->encodeCount()),
                    FormMain->Stream->ViewerCount(), static_cast<long long>(longestWait));
        std::fflush(stdout);
        longestWait = 0;
    });
    report.start(1000);
    // The capture is set up once the main window has been shown, with the encoder as its tap;
    // the stamps go in front of it after that.
    if (argc > 3 && qstrcmp(argv[3], "stamp") == 0) {
        QTimer::singleShot(2000, [] {
            if (Capture)
                Capture->SetFrameTap(std::make_shared<StampingTap>(FormMain->Live->FrameInput()));
        });
    }
    QApplication::exec();
    DestroyProgramWindows();
    return 0;
}
