// After a camera failed and hangs: how long the GUI thread is held by a switch
// to another driver and by the end of the capture device; and how many source
// elements are alive after many reconnects and format changes.
#include "capture/CaptureDevice.h"
#include "capture/gstreamer/GstCapturePlatform.h"
#include "tests/support/FakeCamera.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Rounds = 20;

struct Bench {
    Bench()
    {
        auto owned = std::make_unique<GstCapturePlatform>(ListCaptureSources());
        platform = owned.get();
        device = std::make_unique<CaptureDevice>(&preview, std::move(owned));
        pattern = static_cast<int>(device->DriverNames().size()) - 1;
    }

    // Connects the first fake camera, unplugs it and makes it hang from then on.
    void failCamera()
    {
        fakecamera::SetHung(false);
        device->SelectDriver(0);
        g_object_set(platform->session()->source(), "unplug-after", 0, nullptr);
        while (device->SaveFrameToMemory().state != CapturedFrame::State::Missing)
            QTest::qWait(5);
        fakecamera::SetHung(true);
    }

    QWidget preview;
    GstCapturePlatform *platform = nullptr;
    std::unique_ptr<CaptureDevice> device;
    int pattern = -1;
};

double msOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void report(const char *what, std::vector<double> pauses)
{
    std::sort(pauses.begin(), pauses.end());
    std::printf("%-46s median %7.1f ms  longest %7.1f ms\n", what, pauses[pauses.size() / 2], pauses.back());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (!GstCapturePlatform::initialise() || !fakecamera::Register())
        qFatal("GStreamer or the fake cameras are not available");

    std::vector<double> toCamera, toPattern, switchAfterFailure, endAfterFailure;
    for (int round = 0; round < Rounds; ++round) {
        fakecamera::SetHung(false);
        Bench bench;
        bench.device->SelectDriver(bench.pattern);
        toCamera.push_back(msOf([&] { bench.device->SelectDriver(0); }));
        toPattern.push_back(msOf([&] { bench.device->SelectDriver(bench.pattern); }));
        bench.failCamera();
        switchAfterFailure.push_back(msOf([&] { bench.device->SelectDriver(bench.pattern); }));
        bench.failCamera();
        endAfterFailure.push_back(msOf([&] { bench.device.reset(); }));
    }
    fakecamera::SetHung(false);
    std::printf("GUI thread held, %d rounds, fake cameras:\n", Rounds);
    report("switch pattern -> camera", toCamera);
    report("switch camera -> pattern", toPattern);
    report("switch to the pattern after the camera failed", switchAfterFailure);
    report("capture device ended after the camera failed", endAfterFailure);

    Bench bench;
    const int before = fakecamera::ElementsAlive();
    for (int i = 0; i < 25; ++i) {
        bench.device->SelectDriver(0);
        bench.platform->chooseSize(0, i % 2 ? QSize(640, 480) : QSize(1280, 720));
        bench.device->SelectDriver(1);
    }
    const int connected = fakecamera::ElementsAlive();
    bench.device.reset();
    std::printf("source elements alive: %d before, %d after 50 connects (one connected), %d after the end\n", before,
                connected, fakecamera::ElementsAlive());
    return 0;
}
