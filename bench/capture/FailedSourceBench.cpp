// A camera that hangs: the longest the GUI thread is held (a 1 ms watchdog timer's
// largest gap) while a switch to it runs out its wait, while the next switch runs
// and while the capture device ends; and how many source elements are alive after
// many reconnects and format changes.
#include "capture/CaptureDevice.h"
#include "capture/gstreamer/GstCapturePlatform.h"
#include "gst/GstStart.h"
#include "tests/support/FakeCamera.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Rounds = 10;

struct Bench {
    Bench()
    {
        auto owned = std::make_unique<GstCapturePlatform>(ListCaptureSources());
        platform = owned.get();
        device = std::make_unique<CaptureDevice>(&preview, std::move(owned));
        pattern = static_cast<int>(device->DriverNames().size()) - 1;
    }

    void settle() const
    {
        while (device && (device->Connecting() || platform->connecting()))
            QTest::qWait(1);
    }

    QWidget preview;
    GstCapturePlatform *platform = nullptr;
    std::unique_ptr<CaptureDevice> device;
    int pattern = -1;
};

// The largest gap between two ticks of a 1 ms timer while the work and the waits it asks for run.
double longestHold(const std::function<void()> &work)
{
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [&] {
        longest = std::max(longest, clock.nsecsElapsed() - last);
        last = clock.nsecsElapsed();
    });
    watchdog.start(1);
    clock.start();
    work();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return static_cast<double>(longest) / 1e6;
}

void report(const char *what, std::vector<double> holds)
{
    std::sort(holds.begin(), holds.end());
    std::printf("%-52s median %7.1f ms  longest %7.1f ms\n", what, holds[holds.size() / 2], holds.back());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (!StartGStreamer() || !fakecamera::Register())
        qFatal("GStreamer or the fake cameras are not available");

    std::vector<double> toHung, afterHung, endWhileHung, endAfterHung;
    for (int round = 0; round < Rounds; ++round) {
        fakecamera::SetHung(false);
        auto bench = std::make_unique<Bench>();
        bench->device->SelectDriver(0);
        bench->settle();
        fakecamera::SetHung(true);
        toHung.push_back(longestHold([&] {
            bench->device->SelectDriver(1);
            bench->settle();
        }));
        afterHung.push_back(longestHold([&] {
            bench->device->SelectDriver(bench->pattern);
            bench->settle();
        }));
        bench->device->SelectDriver(1);
        QTest::qWait(100);
        endWhileHung.push_back(longestHold([&] { bench.reset(); }));
        bench = std::make_unique<Bench>();
        bench->device->SelectDriver(0);
        bench->settle();
        bench->device->SelectDriver(1);
        bench->settle();
        endAfterHung.push_back(longestHold([&] { bench.reset(); }));
    }
    fakecamera::SetHung(false);
    std::printf("GUI thread held at most, %d rounds, fake cameras (connect wait 5 s):\n", Rounds);
    report("switch to a camera that hangs, until its wait ran out", toHung);
    report("next switch, to the pattern, until connected", afterHung);
    report("end while the camera that hangs is connecting", endWhileHung);
    report("end after a switch to it failed", endAfterHung);

    Bench bench;
    const int before = fakecamera::ElementsAlive();
    for (int i = 0; i < 25; ++i) {
        bench.device->SelectDriver(0);
        bench.settle();
        bench.platform->chooseSize(0, i % 2 ? QSize(640, 480) : QSize(1280, 720));
        bench.device->SelectDriver(1);
        bench.settle();
    }
    const int connected = fakecamera::ElementsAlive();
    bench.device.reset();
    std::printf("source elements alive: %d before, %d after 50 connects (one connected), %d after the end\n", before,
                connected, fakecamera::ElementsAlive());
    return 0;
}
