// The recorder with the real encoders and real files: a test pattern stands in for the
// camera, and switching it from black to snow and back is motion that starts and ends.
#include "gst/GstStart.h"
#include "gst/Pipelines.h"
#include "live/AacFeed.h"
#include "live/H264Feed.h"
#include "recording/MotionWatch.h"
#include "recording/Recorder.h"
#include "recording/RecordingCatalogue.h"
#include "tests/recording/RecordingProbe.h"
#include "tests/support/FolderClosedToWriting.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gst/app/gstappsink.h>
#include <sched.h>
#include <sys/mount.h>

using namespace Qt::StringLiterals;

namespace {

// A camera of 320x240 at 30 fps whose picture can be changed while it runs, and stopped.
class PatternCamera {
public:
    explicit PatternCamera(std::vector<std::shared_ptr<FrameTap>> taps) : taps_(std::move(taps))
    {
        QString failure;
        pipeline_ = pipelines::FromText(u"videotestsrc name=source is-live=true pattern=black ! "
                                        "video/x-raw,format=BGRx,width=320,height=240,framerate=30/1 ! "
                                        "appsink name=out sync=false"_s,
                                        failure);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink *sink, gpointer self) {
            gstref::Sample sample(gst_app_sink_pull_sample(sink));
            auto *camera = static_cast<PatternCamera *>(self);
            if (sample && camera->sending_)
                for (const auto &tap : camera->taps_)
                    tap->offer(sample.get(), QDateTime::currentMSecsSinceEpoch() * 1000);
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(pipelines::Child(pipeline_.get(), "out").get()), &callbacks, this,
                                   nullptr);
        gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
    }
    ~PatternCamera() { gst_element_set_state(pipeline_.get(), GST_STATE_NULL); }
    void show(const char *pattern)
    {
        gst_util_set_object_arg(G_OBJECT(pipelines::Child(pipeline_.get(), "source").get()), "pattern", pattern);
    }
    void unplug() { sending_ = false; }

private:
    std::vector<std::shared_ptr<FrameTap>> taps_;
    gstref::Element pipeline_;
    std::atomic<bool> sending_{true};
};

// A recorder with its own encoders and camera, and what it logged.
struct Rig {
    std::shared_ptr<H264Feed> video = std::make_shared<H264Feed>();
    std::shared_ptr<AacFeed> sound = std::make_shared<AacFeed>();
    std::unique_ptr<Recorder> recorder = std::make_unique<Recorder>(video, sound);
    PatternCamera camera{{video, recorder->MotionInput()}};
    QStringList log;
    QTemporaryDir folder;

    explicit Rig(bool withSound = true)
    {
        QObject::connect(recorder.get(), &Recorder::logged, [this](const QString &line) { log.append(line); });
        recorder->SetMicrophoneChosen(withSound); // the AAC feed's silence stands in for it
    }
    ~Rig() { recorder.reset(); }
    RecordingSettings settings(RecordingSettings::Mode mode) const
    {
        RecordingSettings s;
        s.mode = mode;
        s.folder = folder.path();
        s.preSeconds = 2;
        s.postSeconds = 2;
        s.reserveGB = 0;
        return s;
    }
    int count(const QString &start) const
    {
        return static_cast<int>(
            std::count_if(log.begin(), log.end(), [&](const QString &l) { return l.startsWith(start); }));
    }
    QString saved() const { return log.filter(u"Recording saved: "_s).join(u'\n'); }
    QString file(const QString &name) const { return folder.filePath(name); }
};

} // namespace

class TestRecorder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(StartGStreamer()); }

    // One noisy comparison does not start a clip; two in a row do; the first still one ends it.
    void motionMustLast()
    {
        std::vector<bool> changes;
        MotionWatch watch([&](bool moving) { changes.push_back(moving); }, nullptr);
        watch.setOn(true);
        QImage still(64, 48, QImage::Format_RGB32);
        still.fill(Qt::black);
        QImage noisy = still;
        noisy.fill(Qt::white);
        for (const QImage *frame : {&still, &noisy, &noisy, &noisy})
            watch.compare(*frame);
        QVERIFY(changes.empty()); // one changed comparison alone
        for (const QImage *frame : {&still, &noisy, &noisy})
            watch.compare(*frame);
        QCOMPARE(changes, (std::vector<bool>{true, false}));
    }

    void motionClipHoldsTheSecondsAroundIt()
    {
        Rig rig;
        rig.recorder->Apply(rig.settings(RecordingSettings::Mode::Motion));
        QTest::qWait(3500); // the seconds before the motion are kept
        QVERIFY(!rig.recorder->Active());
        rig.camera.show("snow");
        QTRY_VERIFY_WITH_TIMEOUT(rig.recorder->Active(), 5000);
        QTest::qWait(2000);
        rig.camera.show("black");
        QTRY_VERIFY_WITH_TIMEOUT(!rig.saved().isEmpty(), 15000);
        QCOMPARE(rig.count(u"Motion started"_s), 1);
        QCOMPARE(rig.count(u"Motion ended"_s), 1);
        const auto entries = recordingcatalogue::List(rig.folder.path());
        QCOMPARE(entries.size(), size_t{1});
        QVERIFY2(entries[0].motion && entries[0].name.endsWith(u" motion.mp4"_s), qPrintable(entries[0].name));
        const QString file = rig.file(entries[0].name);
        QCOMPARE(codecsOf(file), u"h264 aac exit 0"_s);
        // 2 s before (from the key frame at or before them), 2 s of motion, 2 s after.
        const double seconds = secondsOf(file);
        QVERIFY2(seconds >= 5.5 && seconds <= 9.5, qPrintable(QString::number(seconds)));
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(rig.folder.filePath(u".thumbnails/"_s + entries[0].name.chopped(4) + u".jpg"_s)), 10000);
    }

    // Motion that never stops is cut into parts as "Always" is, with no gap between them.
    void endlessMotionIsCutIntoParts()
    {
        Rig rig(false);
        RecordingSettings settings = rig.settings(RecordingSettings::Mode::Motion);
        settings.segmentMinutes = 0.05; // 3 s
        rig.recorder->Apply(settings);
        rig.camera.show("snow");
        QTRY_VERIFY_WITH_TIMEOUT(rig.recorder->Active(), 5000);
        const qint64 began = QDateTime::currentMSecsSinceEpoch();
        QTRY_VERIFY_WITH_TIMEOUT(rig.count(u"Recording saved: "_s) >= 2, 20000);
        QTest::qWait(1500); // into the third part
        settings.mode = RecordingSettings::Mode::Off;
        rig.recorder->Apply(settings);
        const double wall = (QDateTime::currentMSecsSinceEpoch() - began) / 1000.0;
        QTRY_VERIFY2_WITH_TIMEOUT(rig.count(u"Recording saved: "_s) >= 3, qPrintable(rig.log.join(u'\n')), 10000);
        double recorded = 0;
        for (const auto &entry : recordingcatalogue::List(rig.folder.path())) {
            QCOMPARE(codecsOf(rig.file(entry.name)), u"h264 exit 0"_s);
            QCOMPARE(decodeErrors(rig.file(entry.name)), u" exit 0"_s);
            recorded += secondsOf(rig.file(entry.name));
        }
        // All of it, from the seconds before the motion on: nothing lost at a cut.
        QVERIFY2(recorded >= wall - 0.5 && recorded <= wall + settings.preSeconds + 2,
                 qPrintable(u"%1 s in files, %2 s of motion"_s.arg(recorded).arg(wall)));
    }

    void camerasThatStopEndTheClip()
    {
        Rig rig(false);
        rig.recorder->Apply(rig.settings(RecordingSettings::Mode::Always));
        QTRY_VERIFY_WITH_TIMEOUT(rig.recorder->Active(), 5000);
        QTest::qWait(1500);
        rig.camera.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.saved().isEmpty(), (Recorder::StallSeconds + 5) * 1000);
        QVERIFY2(rig.log.filter(u"ended: the camera stopped sending pictures"_s).size() == 1,
                 qPrintable(rig.log.join(u'\n')));
        QVERIFY(!rig.recorder->Active());
    }

    // A folder closed to writing, one removed under a clip, and a disk at its reserve: one
    // line each, and nothing said to be saved that was not.
    void foldersThatWillNotTakeIt()
    {
        Rig rig(false);
        RecordingSettings settings = rig.settings(RecordingSettings::Mode::Always);
        QVERIFY(QDir().mkpath(settings.folder));
        QFile marker(rig.file(u"marker"_s));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        {
            FolderClosedToWriting closed(settings.folder, marker.fileName());
            rig.recorder->Apply(settings);
            QTRY_VERIFY_WITH_TIMEOUT(rig.count(u"Recording could not start: "_s) == 1, 5000);
        }
        QVERIFY(rig.saved().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(rig.recorder->Active(), (Recorder::RetrySeconds + 5) * 1000);
        QTest::qWait(1000);
        QVERIFY(QDir(settings.folder).removeRecursively());
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.count(u"Recording "_s) >= 1 &&
                !rig.log.filter(u"could not be written: the file or its folder was removed"_s).isEmpty(),
            5000);
        QVERIFY(rig.saved().isEmpty());

        settings.reserveGB = 100000; // no disk here has that much free
        rig.recorder->Apply(settings);
        QTRY_VERIFY_WITH_TIMEOUT(rig.count(u"Recording stopped: less than 100000 GB free"_s) == 1, 5000);
        QVERIFY(!rig.recorder->Active());
        settings.reserveGB = 0;
        rig.recorder->Apply(settings);
        QCOMPARE(rig.count(u"Recording resumed: "_s), 1);
    }

    // A disk that fills while a clip is written (a tmpfs of 1 MB in a mount namespace of
    // this thread's own): the clip ends with one line, is never said to be saved, and what
    // it holds up to its last fragment plays.
    void diskThatFillsEndsTheClip()
    {
        Rig rig(false);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", QFile::encodeName(rig.folder.path()).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("mounting a small disk needs CAP_SYS_ADMIN");
        RecordingSettings settings = rig.settings(RecordingSettings::Mode::Always);
        rig.recorder->Apply(settings);
        QTRY_VERIFY_WITH_TIMEOUT(rig.recorder->Active(), 5000);
        rig.camera.show("snow"); // black would take long to fill it
        QTRY_VERIFY2_WITH_TIMEOUT(!rig.log.filter(u"could not be written"_s).isEmpty(), qPrintable(rig.log.join(u'\n')),
                                  20000);
        const QString failed = rig.log.filter(u"could not be written"_s).first();
        QVERIFY2(failed.contains(u"space"_s, Qt::CaseInsensitive), qPrintable(failed));
        QVERIFY(rig.saved().isEmpty());
        const auto entries = recordingcatalogue::List(rig.folder.path());
        QVERIFY(!entries.empty());
        QCOMPARE(decodeErrors(rig.file(entries.back().name)), u" exit 0"_s);
        settings.mode = RecordingSettings::Mode::Off;
        rig.recorder->Apply(settings);
        rig.recorder.reset();
        ::umount2(QFile::encodeName(rig.folder.path()).constData(), MNT_DETACH);
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "TestRecorder.moc"
