// The shared feed's life cycle with an encoder of its own making: a test pattern straight
// into the appsink, one that fails at once, and one whose pipeline fails once it runs.
#include "gst/GstStart.h"
#include "gst/Pipelines.h"
#include "tests/live/FeedProbe.h"

#include <QTest>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

class FakeFeed : public EncodedFeed {
public:
    enum class Encoder { Works, NotBuilt, FailsRunning };
    explicit FakeFeed(Encoder encoder) : EncodedFeed(false), encoder_(encoder) {}
    ~FakeFeed() override { endFeeding(); }
    std::atomic<int> built{0};

protected:
    // As fast as it can: a buffer is on its way at every moment.
    gstref::Element buildPipeline(QString &failure) override
    {
        ++built;
        if (encoder_ == Encoder::NotBuilt) {
            failure = u"no such encoder"_s;
            return {};
        }
        const char *fault = encoder_ == Encoder::Works ? "" : "identity error-after=1 ! ";
        return pipelines::FromText(
            u"videotestsrc ! video/x-raw,width=32,height=24 ! %1appsink name=out"_s.arg(QString::fromLatin1(fault)),
            failure);
    }

private:
    const Encoder encoder_;
};

} // namespace

class TestEncodedFeed : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(StartGStreamer()); }

    void encoderRunsWhileConsumersAre()
    {
        FakeFeed feed(FakeFeed::Encoder::Works);
        Consumer first;
        Consumer idle(false);
        const int firstId = first.attachTo(feed);
        const int idleId = idle.attachTo(feed);
        QVERIFY(firstId && idleId);
        QCOMPARE(first.next(), u"video/x-raw"_s);
        QVERIFY(feed.running());
        feed.detach(firstId);
        QVERIFY(feed.running()); // the idle one still holds it
        feed.detach(idleId);
        QVERIFY(!feed.running());
        QCOMPARE(feed.encodersStarted(), 1);
        QVERIFY(pipelines::WaitForStops(std::chrono::seconds(10)));
    }

    // The last consumer leaves and the feed goes at once, with buffers still on their way
    // from the pipeline that stops on the pool: none may reach the feed (the sanitizer build
    // finds one that does).
    void feedGoesRightAfterItsLastConsumer()
    {
        for (int round = 0; round < 30; ++round) {
            auto feed = std::make_unique<FakeFeed>(FakeFeed::Encoder::Works);
            Consumer consumer;
            const int id = consumer.attachTo(*feed);
            QVERIFY(id);
            QCOMPARE(consumer.next(), u"video/x-raw"_s);
            feed->detach(id);
            feed.reset();
        }
        QVERIFY(pipelines::WaitForStops(std::chrono::seconds(20)));
        QCOMPARE(pipelines::PendingStops(), 0);
    }

    void encoderThatCannotBeBuiltRefusesTheConsumer()
    {
        FakeFeed feed(FakeFeed::Encoder::NotBuilt);
        Consumer consumer;
        QCOMPARE(consumer.attachTo(feed), 0);
        QCOMPARE(feed.failure(), u"no such encoder"_s);
        QCOMPARE(feed.consumerCount(), 0);
    }

    // A running encoder that fails is started once more; failing again, it ends its consumers
    // and tells why.
    void failingEncoderIsRetriedOnceThenEndsItsConsumers()
    {
        FakeFeed feed(FakeFeed::Encoder::FailsRunning);
        Heard heard;
        heard.listen(feed);
        Consumer consumer;
        QVERIFY(consumer.attachTo(feed));
        QTRY_VERIFY_WITH_TIMEOUT(!heard.get().isEmpty(), 20000);
        QCOMPARE(feed.built.load(), 2);
        QCOMPARE(feed.consumerCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(consumer.ended(), 10000);
        QVERIFY(!feed.running());
    }
};

QTEST_GUILESS_MAIN(TestEncodedFeed)
#include "TestEncodedFeed.moc"
