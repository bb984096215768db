// CPU used by the preview at 640x480 with 15 previews a second: the
// program's preview window, capture device and GStreamer platform, run for a
// while on a real display; user plus system time of the whole process,
// GStreamer's threads included.
#include "capture/CaptureDevice.h"
#include "capture/TFormPreview.h"
#include "capture/gstreamer/GstCapturePlatform.h"
#include "gst/GstStart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (!StartGStreamer())
        qFatal("GStreamer is not available");
    const int seconds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 20;

    TFormPreview preview;
    preview.show();
    auto owned = std::make_unique<GstCapturePlatform>(ListCaptureSources());
    GstCapturePlatform *platform = owned.get();
    CaptureDevice device(&preview, std::move(owned));
    const int pattern = static_cast<int>(device.DriverNames().size()) - 1;
    platform->chooseSize(pattern, {640, 480});
    device.PreviewRate = 66;
    device.SelectDriver(pattern);
    runFor(2000); // settle

    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double used = cpuSeconds() - before;
    std::printf("preview %dx%d every %d ms on %s for %.1f s: CPU %.2f%% of one core\n", device.CaptureWindow()->width(),
                device.CaptureWindow()->height(), device.PreviewRate, qPrintable(QGuiApplication::platformName()),
                static_cast<double>(wall.elapsed()) / 1000.0,
                used * 100.0 / (static_cast<double>(wall.elapsed()) / 1000.0));
    return 0;
}
