// The whole program with its server on, for load benchmarks: the built-in test pattern at
// 640x480, JPEG quality 75, listening on the port given, with RTSP on the second port given
// (off without one). It runs until it is terminated.
// Every second it prints the newest frame's number, the JPEG encodings made and the
// stream's viewers: "frames <n> encodes <n> viewers <n>".
// Usage: ServerBench <port> [<RTSP port>]
#include "app/Globals.h"
#include "app/ProgramEntry.h"
#include "app/SettingsLocation.h"
#include "app/TFormMain.h"
#include "app/VantrelApplication.h"
#include "capture/CaptureDevice.h"
#include "capture/CapturePlatformFactory.h"
#include "capture/JpegImage.h"
#include "capture/gstreamer/CaptureSource.h"
#include "capture/gstreamer/GstCapturePlatform.h"
#include "server/MjpegStream.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    VantrelApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!GstCapturePlatform::initialise())
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
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [] {
        std::printf("frames %llu encodes %llu viewers %d\n",
                    static_cast<unsigned long long>(Capture->SaveFrameToMemory().serial),
                    static_cast<unsigned long long>(FormMain->FrameJpeg->encodeCount()),
                    FormMain->Stream->ViewerCount());
        std::fflush(stdout);
    });
    report.start(1000);
    QApplication::exec();
    DestroyProgramWindows();
    return 0;
}
