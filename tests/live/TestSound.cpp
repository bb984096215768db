// The microphone: which sound sources count as microphones, and its one Opus encoder fed to
// consumers in pipelines of their own, with fake microphones that work, fail or are pulled out.
#include "capture/gstreamer/GstCapturePlatform.h"
#include "live/AacFeed.h"
#include "live/Microphones.h"
#include "live/OpusFeed.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/FakeMicrophone.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A pipeline that takes what the feed gives: appsrc ! appsink.
struct Consumer {
    gstref::Element pipeline{
        gst_parse_launch("appsrc name=in is-live=true format=time ! appsink name=out sync=false", nullptr)};
    gstref::Element in{gst_bin_get_by_name(GST_BIN(pipeline.get()), "in")};
    gstref::Element out{gst_bin_get_by_name(GST_BIN(pipeline.get()), "out")};
    Consumer() { gst_element_set_state(pipeline.get(), GST_STATE_PLAYING); }
    ~Consumer() { gst_element_set_state(pipeline.get(), GST_STATE_NULL); }
    int attachTo(EncodedFeed &feed) { return feed.attach(GST_APP_SRC(in.get())); }
    // The media type of the next buffer, empty when none came within two seconds.
    QString next()
    {
        gstref::Sample sample(gst_app_sink_try_pull_sample(GST_APP_SINK(out.get()), 2 * GST_SECOND));
        GstCaps *caps = sample ? gst_sample_get_caps(sample.get()) : nullptr;
        return caps ? QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps, 0))) : QString();
    }
    bool ended()
    {
        while (gstref::Sample(gst_app_sink_try_pull_sample(GST_APP_SINK(out.get()), 0))) {
        }
        return gst_app_sink_is_eos(GST_APP_SINK(out.get()));
    }
};

// What the feed's listener heard, from GStreamer's threads.
struct Heard {
    std::mutex mutex;
    QString reason;
    QString get()
    {
        std::lock_guard lock(mutex);
        return reason;
    }
    void listen(EncodedFeed &feed)
    {
        feed.setStoppedListener([this](const QString &why) {
            std::lock_guard lock(mutex);
            reason = why;
        });
    }
};

} // namespace

class TestSound : public QObject {
    Q_OBJECT

    std::unique_ptr<Microphones> microphones;

    std::unique_ptr<OpusFeed> feedOf(const QString &name)
    {
        auto feed = std::make_unique<OpusFeed>();
        feed->setDevice(microphones->find(name).get());
        return feed;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(GstCapturePlatform::initialise());
        QVERIFY(fakecamera::Register());
        microphones = Microphones::start();
        QVERIFY(microphones);
    }

    void speakerMonitorsAreNoMicrophones()
    {
        const QStringList names = microphones->names();
        QVERIFY2(names.contains(u"Fake Microphone"_s) && names.contains(u"Broken Microphone"_s),
                 qPrintable(names.join(u',')));
        QVERIFY(!names.contains(u"Monitor of Fake Speakers"_s));
        QVERIFY(!microphones->find(u"Monitor of Fake Speakers"_s));
    }

    void oneEncoderFeedsOpusToEveryConsumerWhileAttached()
    {
        auto feed = feedOf(u"Fake Microphone"_s);
        QCOMPARE(feed->deviceName(), u"Fake Microphone"_s);
        Consumer first, second;
        const int firstId = first.attachTo(*feed), secondId = second.attachTo(*feed);
        QVERIFY(firstId && secondId);
        for (int n = 0; n < 5; ++n) {
            QCOMPARE(first.next(), u"audio/x-opus"_s);
            QCOMPARE(second.next(), u"audio/x-opus"_s);
        }
        QCOMPARE(feed->encodersStarted(), 1);
        feed->detach(firstId);
        QVERIFY(feed->running());
        feed->detach(secondId);
        QVERIFY(!feed->running());
    }

    // For streaming servers: the microphone as AAC, silence as AAC while none is chosen, and
    // the end for a microphone that will not open.
    void aacFeedTakesTheMicrophoneOrSilence()
    {
        AacFeed feed;
        for (const QString &name : {u"Fake Microphone"_s, QString(), u"Broken Microphone"_s}) {
            feed.setDevice(name.isEmpty() ? nullptr : microphones->find(name).get());
            Consumer consumer;
            const int id = consumer.attachTo(feed);
            QVERIFY(id);
            if (name.startsWith(u"Broken"_s))
                QTRY_VERIFY(consumer.ended());
            else
                QCOMPARE(consumer.next() + consumer.next(), u"audio/mpegaudio/mpeg"_s);
            feed.detach(id);
        }
        QCOMPARE(feed.failure(), u"Could not open audio device for recording."_s);
    }

    void brokenMicrophoneFailsClearlyAndEndsItsConsumer()
    {
        QString tried = u"-"_s;
        OpusFeed::TryOpen(microphones->find(u"Broken Microphone"_s).get(), [&tried](const QString &failure) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), [&tried, failure] { tried = failure; });
        });
        QTRY_COMPARE(tried, u"Could not open audio device for recording."_s);

        auto feed = feedOf(u"Broken Microphone"_s);
        Heard heard;
        heard.listen(*feed);
        Consumer consumer;
        QVERIFY(consumer.attachTo(*feed));
        QTRY_COMPARE(heard.get(), u"Could not open audio device for recording."_s);
        QTRY_VERIFY(consumer.ended());
        QVERIFY(!feed->running());
        QCOMPARE(feed->consumerCount(), 0);
    }

    void unpluggedWhileRunningEndsConsumersWithTheReason()
    {
        auto feed = feedOf(u"Fake Microphone"_s);
        Heard heard;
        heard.listen(*feed);
        QStringList removed;
        microphones->setListener([&removed](const QString &name, bool added) {
            if (!added)
                removed.append(name);
        });
        Consumer consumer;
        QVERIFY(consumer.attachTo(*feed));
        QCOMPARE(consumer.next(), u"audio/x-opus"_s);
        fakemicrophone::SetPlugged("Fake Microphone", false);
        QTRY_VERIFY(consumer.ended());
        QVERIFY2(heard.get().startsWith(u"Could not"_s), qPrintable(heard.get()));
        QTRY_COMPARE(removed, QStringList{u"Fake Microphone"_s});
        QVERIFY(!microphones->names().contains(u"Fake Microphone"_s));
        fakemicrophone::SetPlugged("Fake Microphone", true);
        QTRY_VERIFY(microphones->find(u"Fake Microphone"_s));
    }
};

QTEST_GUILESS_MAIN(TestSound)
#include "TestSound.moc"
