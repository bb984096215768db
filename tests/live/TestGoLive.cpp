// Going live on a streaming server: a real nginx with its RTMP module takes the stream, turns
// a key away, dies and comes back; HLS from it plays. Servers that cannot be reached, stall
// or show a bad certificate, and addresses that will not do.
#include "capture/gstreamer/GstCapturePlatform.h"
#include "live/AacFeed.h"
#include "live/GoLive.h"
#include "live/H264Feed.h"
#include "live/RtmpPush.h"
#include "tests/live/NginxRtmp.h"
#include "tests/support/BlackBox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What an ffmpeg tool printed (errors only) and how it ended.
QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, QStringList{u"-v"_s, u"error"_s} + arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return u"<%1 did not finish>"_s.arg(tool);
    }
    return QString::fromUtf8(process.readAll()) + u"exit %1"_s.arg(process.exitCode());
}

bool portAccepts(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(u"127.0.0.1"_s, port);
    return probe.waitForConnected(200);
}

// The "golive" part of the program's /state.
QJsonObject pushState(quint16 port)
{
    QTcpSocket peer;
    peer.connectToHost(u"127.0.0.1"_s, port);
    peer.waitForConnected(2000);
    peer.write("GET /state HTTP/1.0\r\n\r\n");
    while (peer.waitForReadyRead(2000)) {
    }
    const QByteArray reply = peer.readAll();
    return QJsonDocument::fromJson(reply.mid(reply.indexOf("\r\n\r\n") + 4)).object().value(u"golive"_s).toObject();
}

int linesWith(BlackBoxVantrel &program, const QString &text)
{
    const QStringList lines = program.logLines();
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.contains(text); }));
}

bool waitForLines(BlackBoxVantrel &program, const QString &text, int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (linesWith(program, text) < count) {
        if (deadline.hasExpired() || program.process().state() != QProcess::Running)
            return false;
        program.process().waitForReadyRead(100);
    }
    return true;
}

// The pushes of one test, with the shared encoders they take from (fed no pictures: the
// failures tested come before any).
struct Pushing {
    H264Feed video;
    AacFeed audio;
    GoLive live{video, audio};
    QSignalSpy logged{&live, &GoLive::logged};
    bool waitForLine(const QString &text, int timeoutMs = 15000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (int seen = 0; !deadline.hasExpired(); logged.wait(100)) {
            for (; seen < logged.size(); ++seen)
                if (logged.at(seen).at(0).toString().contains(text))
                    return true;
        }
        return false;
    }
    QString lines() const
    {
        QStringList all;
        for (const auto &line : logged)
            all << line.at(0).toString();
        return all.join(u'\n');
    }
};

// Pictures for one run only: its encoder fails after a second, and cannot be started again.
struct OneRunFeed : EncodedFeed {
    OneRunFeed() : EncodedFeed(true) {}
    int builds = 0;
    gstref::Element buildPipeline(QString &failure) override
    {
        if (builds++) {
            failure = u"no more pictures"_s;
            return {};
        }
        return gstref::Element(GST_ELEMENT(gst_object_ref_sink(gst_parse_launch(
            "videotestsrc is-live=true ! video/x-raw,width=160,height=120,framerate=30/1 ! identity error-after=30 ! "
            "x264enc tune=zerolatency key-int-max=10 ! h264parse config-interval=-1 ! "
            "video/x-h264,stream-format=byte-stream,alignment=au ! appsink name=out",
            nullptr))));
    }
};

} // namespace

class TestGoLive : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(GstCapturePlatform::initialise()); }

    void addressesThatWillNotDo_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("problem");
        QTest::newRow("none") << u""_s << u"k"_s << u"no server address"_s;
        QTest::newRow("http") << u"http://example.org/live"_s << u"k"_s << u"must begin with rtmp://"_s;
        QTest::newRow("no application") << u"rtmp://example.org/"_s << u"k"_s << u"names no application"_s;
        QTest::newRow("no key") << u"rtmps://example.org/live"_s << u" "_s << u"no stream key"_s;
        QTest::newRow("spaced key") << u"rtmp://example.org/live"_s << u"a b"_s << u"may not hold spaces"_s;
    }
    void addressesThatWillNotDo()
    {
        QFETCH(QString, url);
        QFETCH(QString, key);
        QFETCH(QString, problem);
        Pushing pushing;
        QVERIFY(!pushing.live.Start(RtmpTarget(url, key), 2500));
        QCOMPARE(pushing.live.phase(), GoLive::Phase::Stopped);
        QVERIFY2(pushing.lines().startsWith(u"Cannot go live: "_s) && pushing.lines().contains(problem),
                 qPrintable(pushing.lines()));
        QCOMPARE(pushing.video.bitrate(), H264Feed::DefaultBitrateKbps);
    }

    void keyNeverShown()
    {
        const RtmpTarget target(u"rtmp://example.org/live2/"_s, u"se cret/x?"_s.remove(u' '));
        QCOMPARE(target.location(), u"rtmp://example.org/live2/secret/x?"_s);
        QCOMPARE(target.withoutKey(u"at rtmp://example.org/live2/secret/x? and secret%2Fx%3F"_s),
                 u"at rtmp://example.org/live2/(stream key) and (stream key)"_s);
    }

    // Each attempt one line, the waits growing; the encoder runs at the chosen rate until stopped.
    void unreachableServerIsTriedAgainLater()
    {
        Pushing pushing;
        QVERIFY(pushing.live.Start(RtmpTarget(u"rtmp://127.0.0.1:%1/live"_s.arg(FreeLocalPort()), u"k"_s), 900));
        QCOMPARE(pushing.video.bitrate(), 900);
        QVERIFY2(pushing.waitForLine(u"refused; trying again in 1 s"_s), qPrintable(pushing.lines()));
        QVERIFY2(pushing.waitForLine(u"refused; trying again in 2 s"_s, 5000), qPrintable(pushing.lines()));
        QCOMPARE(pushing.live.phase(), GoLive::Phase::Waiting);
        QVERIFY(pushing.live.StateText().startsWith(u"Reconnecting in "_s));
        pushing.live.Stop();
        QCOMPARE(pushing.live.StateText(), u"Stopped: stopped by the user"_s);
        QCOMPARE(pushing.logged.size(), 3);
        QCOMPARE(pushing.video.bitrate(), H264Feed::DefaultBitrateKbps);
    }

    void stalledServerTimesOut()
    {
        QTcpServer silent; // accepts, never reads nor answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Pushing pushing;
        pushing.live.Start(RtmpTarget(u"rtmp://127.0.0.1:%1/live"_s.arg(silent.serverPort()), u"k"_s), 2500);
        QVERIFY2(pushing.waitForLine(u"timed out; trying again in 1 s"_s, 3000 + RtmpPush::TimeoutSeconds * 1000),
                 qPrintable(pushing.lines()));
    }

    void invalidCertificateStops()
    {
        QTemporaryDir dir;
        const QString cert = dir.filePath(u"cert.pem"_s), key = dir.filePath(u"key.pem"_s);
        QProcess made;
        made.setProcessChannelMode(QProcess::MergedChannels);
        made.start(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-keyout"_s, key,
                                  u"-out"_s, cert, u"-days"_s, u"2"_s, u"-subj"_s, u"/CN=localhost"_s});
        QVERIFY(made.waitForFinished(30000) && made.exitCode() == 0);
        const quint16 port = FreeLocalPort();
        QProcess server; // a TLS server with a certificate nobody signed
        server.start(u"openssl"_s, {u"s_server"_s, u"-quiet"_s, u"-accept"_s, u"127.0.0.1:%1"_s.arg(port), u"-cert"_s,
                                    cert, u"-key"_s, key});
        QTRY_VERIFY_WITH_TIMEOUT(portAccepts(port), 5000);
        Pushing pushing;
        pushing.live.Start(RtmpTarget(u"rtmps://127.0.0.1:%1/live"_s.arg(port), u"k"_s), 2500);
        QVERIFY2(pushing.waitForLine(u"Live stream stopped: 127.0.0.1 has no valid certificate"_s),
                 qPrintable(pushing.lines()));
        QCOMPARE(pushing.live.phase(), GoLive::Phase::Stopped);
        QCOMPARE(pushing.logged.size(), 1);
        server.kill();
        server.waitForFinished();
    }

    void refusedKeyStopsWithTheServersAnswer()
    {
        NginxRtmp nginx;
        QVERIFY2(nginx.start(), qPrintable(nginx.output()));
        Pushing pushing;
        pushing.live.Start(RtmpTarget(nginx.url(), QString::fromLatin1(NginxRtmp::RefusedKey)), 2500);
        QVERIFY2(pushing.waitForLine(u"Live stream stopped: 127.0.0.1 refused the stream ("_s),
                 qPrintable(pushing.lines()));
        QVERIFY(!pushing.live.Active());
        QTest::qWait(1500);
        QCOMPARE(pushing.logged.size(), 1);
    }

    // A stream whose picture ends is over, sound or not: it ends and may be tried again.
    void pushEndsWithThePicture()
    {
        NginxRtmp nginx;
        QVERIFY2(nginx.start(), qPrintable(nginx.output()));
        OneRunFeed video;
        AacFeed audio;
        RtmpPush push(video, audio);
        std::mutex mutex;
        QString reason;
        QString failure;
        QVERIFY2(push.Start(
                     nginx.url() + u"/pictures"_s,
                     [&](const QString &why, RtmpPush::Failure kind) {
                         std::lock_guard lock(mutex);
                         reason = why + (kind == RtmpPush::Failure::Network ? u" (network)"_s : u""_s);
                     },
                     failure),
                 qPrintable(failure));
        QTRY_VERIFY_WITH_TIMEOUT(push.BytesSent() > 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT((std::lock_guard(mutex), reason == u"the picture ended (network)"_s), 10000);
    }

    // The whole program, started to go live: the server gets picture and sound, HLS from it
    // plays, and after the server died and came back the program is live again within 10 s.
    void programGoesLiveAndComesBack()
    {
        NginxRtmp nginx;
        QVERIFY2(nginx.start(), qPrintable(nginx.output()));
        const QString key = u"k%1"_s.arg(QRandomGenerator::global()->generate());
        const quint16 port = FreeServerPort();
        BlackBoxVantrel program("[FormMain]\nEnabled=1\nRtspPort=0\nPort=" + QByteArray::number(port) +
                                "\n[FormGoLive]\nUrl=" + nginx.url().toUtf8() + "\nKey=" + key.toUtf8() +
                                "\nAutoStart=1\n");
        QVERIFY(program.start());
        QVERIFY2(program.waitForLogLineEndingWith(u"Live on 127.0.0.1"_s, 20000), qPrintable(program.standardError()));

        const QString probed = runTool(u"ffprobe"_s, {u"-show_entries"_s, u"stream=codec_name"_s, u"-of"_s,
                                                      u"csv=p=0"_s, nginx.url() + u'/' + key});
        QVERIFY2(probed.contains(u"h264"_s) && probed.contains(u"aac"_s) && probed.endsWith(u"exit 0"_s),
                 qPrintable(probed));
        QTRY_VERIFY_WITH_TIMEOUT(nginx.hlsWritten(key), 15000);
        const QString played =
            runTool(u"ffmpeg"_s, {u"-i"_s, nginx.hlsUrl(key), u"-t"_s, u"2"_s, u"-f"_s, u"null"_s, u"-"_s});
        QVERIFY2(played.endsWith(u"exit 0"_s), qPrintable(played));
        const QJsonObject state = pushState(port);
        QCOMPARE(state.value(u"state"_s).toString() + state.value(u"host"_s).toString(), u"live127.0.0.1"_s);
        QVERIFY(state.value(u"kbps"_s).toInt() > 100);

        nginx.kill();
        QVERIFY(waitForLines(program, u"trying again in"_s, 1, 15000));
        QVERIFY2(nginx.start(), qPrintable(nginx.output()));
        QVERIFY2(waitForLines(program, u"Live on 127.0.0.1"_s, 2, 10000), qPrintable(program.logLines().join(u'\n')));
        QCOMPARE(linesWith(program, key), 0);
    }
};

QTEST_GUILESS_MAIN(TestGoLive)
#include "TestGoLive.moc"
