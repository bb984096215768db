// The microphone: which sound sources count as microphones, and its one Opus encoder fed to
// consumers in pipelines of their own, with fake microphones that work, fail or are pulled out.
#include "gst/GstStart.h"
#include "live/AacFeed.h"
#include "live/Microphones.h"
#include "live/OpusFeed.h"
#include "tests/live/FeedProbe.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/FakeMicrophone.h"

#include <QTest>

using namespace Qt::StringLiterals;

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
        QVERIFY(StartGStreamer());
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
