// A clip on motion from the program's own encoder and recorder: a 640x480 test pattern at 30
// frames a second. Prints what the motion watcher costs at its five comparisons a second (the
// time its thread spends in it, per second of picture), how much the ring of the seconds
// before holds at 2 Mbit/s, and, for a still picture that turns to snow, how long after the
// change the log says "Motion started" and the file holds the seconds before it.
#include "gst/GstStart.h"
#include "gst/Pipelines.h"
#include "live/AacFeed.h"
#include "live/H264Feed.h"
#include "recording/Recorder.h"
#include "recording/RecordingCatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gst/app/gstappsink.h>

#include <atomic>
#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

qint64 threadCpuNanos()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The camera: every frame to the encoder and to the motion watcher, the watcher timed.
struct Camera {
    std::shared_ptr<FrameTap> encoder;
    std::shared_ptr<FrameTap> watcher;
    std::atomic<qint64> watcherNanos{0};
    std::atomic<int> frames{0};
    gstref::Element pipeline;

    Camera(std::shared_ptr<FrameTap> toEncoder, std::shared_ptr<FrameTap> toWatcher)
        : encoder(std::move(toEncoder)), watcher(std::move(toWatcher))
    {
        QString failure;
        pipeline = pipelines::FromText(u"videotestsrc name=source is-live=true pattern=black ! "
                                       "video/x-raw,format=BGRx,width=640,height=480,framerate=30/1 ! "
                                       "appsink name=out sync=false"_s,
                                       failure);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink *sink, gpointer self) {
            gstref::Sample sample(gst_app_sink_pull_sample(sink));
            auto *camera = static_cast<Camera *>(self);
            const qint64 micros = QDateTime::currentMSecsSinceEpoch() * 1000;
            camera->encoder->offer(sample.get(), micros);
            const qint64 before = threadCpuNanos();
            camera->watcher->offer(sample.get(), micros);
            camera->watcherNanos += threadCpuNanos() - before;
            ++camera->frames;
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(pipelines::Child(pipeline.get(), "out").get()), &callbacks, this,
                                   nullptr);
        gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    }
    ~Camera() { gst_element_set_state(pipeline.get(), GST_STATE_NULL); }
    void show(const char *pattern)
    {
        gst_util_set_object_arg(G_OBJECT(pipelines::Child(pipeline.get(), "source").get()), "pattern", pattern);
    }
};

// Runs the event loop until `done` or the limit; the milliseconds it took, -1 at the limit.
template <typename Done> qint64 waitFor(Done done, int limitMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return timer.elapsed();
}

double probedSeconds(const QString &file)
{
    QProcess ffprobe;
    ffprobe.start(u"ffprobe"_s,
                  {u"-v"_s, u"error"_s, u"-show_entries"_s, u"format=duration"_s, u"-of"_s, u"csv=p=0"_s, file});
    ffprobe.waitForFinished(30000);
    return ffprobe.readAll().trimmed().toDouble();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!StartGStreamer())
        return 1;
    QTemporaryDir folder;
    auto video = std::make_shared<H264Feed>();
    auto sound = std::make_shared<AacFeed>();
    Recorder recorder(video, sound);
    recorder.SetMicrophoneChosen(true); // the AAC feed's silence stands in for the microphone
    QStringList log;
    QObject::connect(&recorder, &Recorder::logged, [&](const QString &line) { log.append(line); });
    Camera camera(video, recorder.MotionInput());

    RecordingSettings settings;
    settings.mode = RecordingSettings::Mode::Motion;
    settings.folder = folder.path();
    settings.reserveGB = 0;
    settings.postSeconds = 3;
    std::printf("640x480 at 30 fps, %d kbit/s, %d s kept before the motion, %d s after\n", H264Feed::DefaultBitrateKbps,
                settings.preSeconds, settings.postSeconds);

    // Snow the encoder spends its whole bitrate on, with a clip asked for only after more
    // comparisons than it sees: the ring at its bound, and the watcher comparing all along.
    RecordingSettings never = settings;
    never.motionComparisons = 1000000;
    camera.show("snow");
    recorder.Apply(never);
    size_t ringMost = 0;
    const qint64 cpu0 = camera.watcherNanos;
    const int frames0 = camera.frames;
    QElapsedTimer filling;
    filling.start();
    waitFor([&] {
        ringMost = std::max(ringMost, recorder.RingBytes());
        return filling.elapsed() > 12000;
    });
    const double watched = (camera.frames - frames0) / 30.0;
    std::printf("  motion watcher: %.2f%% of a core (%.1f ms in %.1f s of picture)\n",
                (camera.watcherNanos - cpu0) / 1e7 / watched, (camera.watcherNanos - cpu0) / 1e6, watched);
    std::printf("  ring of the seconds before at %d kbit/s: %.2f MB at most\n", video->bitrate(), ringMost / 1e6);

    // A still picture, then the change.
    camera.show("black");
    recorder.Apply(settings);
    waitFor([] { return false; }, 8000);
    const size_t ringBefore = recorder.RingBytes();
    camera.show("snow");
    QElapsedTimer sinceChange;
    sinceChange.start();
    waitFor([&] { return log.contains(u"Motion started"_s); });
    const qint64 logged = sinceChange.elapsed();
    const auto clipFile = [&] {
        const QStringList clips = QDir(folder.path()).entryList({u"*.mp4"_s}, QDir::Files);
        return clips.isEmpty() ? QString() : folder.filePath(clips.first());
    };
    waitFor([&] { return !clipFile().isEmpty() && QFileInfo(clipFile()).size() >= qint64(ringBefore) * 9 / 10; });
    const qint64 onDisk = sinceChange.elapsed();
    std::printf("  after the change: \"Motion started\" %lld ms, the seconds before on disk %lld ms\n",
                static_cast<long long>(logged), static_cast<long long>(onDisk));

    waitFor([&] { return sinceChange.elapsed() > 4000; });
    camera.show("black");
    QElapsedTimer sinceStill;
    sinceStill.start();
    if (waitFor([&] { return !log.filter(u"Recording saved: "_s).isEmpty(); }) < 0) {
        std::printf("  no clip was saved:\n%s\n", qPrintable(log.join(u'\n')));
        return 1;
    }
    const double motion = (sinceChange.elapsed() - sinceStill.elapsed()) / 1000.0;
    std::printf("  clip: %.1f s long for %.1f s of motion (ffprobe)\n", probedSeconds(clipFile()), motion);
    return 0;
}
