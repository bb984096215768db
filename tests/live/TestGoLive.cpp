// Going live on a streaming server: a real nginx with its RTMP module takes the stream, turns
// a key away, dies and comes back; HLS from it plays. Servers that cannot be reached, stall
// or show a bad certificate, and addresses that will not do.
#include "gst/GstStart.h"
#include "live/AacFeed.h"
#include "live/GoLive.h"
#include "live/H264Feed.h"
#include "live/RtmpPush.h"
#include "tests/live/NginxRtmp.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QUrl>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

// What a tool printed, then "exit <code>".
QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAll()) + u"exit %1"_s.arg(process.exitCode());
}

// A push of one test, with the shared encoders it takes from (fed no pictures: the failures
// tested come before any).
struct Pushing {
    H264Feed video;
    AacFeed audio;
    GoLive live{video, audio};
    QSignalSpy logged{&live, &GoLive::logged};
    QString lines() const
    {
        QStringList all;
        for (const auto &line : logged)
            all << line.at(0).toString();
        return all.join(u'\n');
    }
    bool waitForLine(const QString &text, int timeoutMs = 15000)
    {
        return QTest::qWaitFor([&] { return lines().contains(text); }, timeoutMs);
    }
};

// Connections open from this process to a port of this machine (client ends, established).
int connectionsTo(quint16 port)
{
    QFile table(u"/proc/net/tcp"_s);
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    int count = 0;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(3) == "01" &&
            fields.at(2).endsWith(':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0')))
            ++count;
    }
    return count;
}

// Pictures for one run only: its encoder fails after a second, and cannot be started again.
struct OneRunFeed : EncodedFeed {
    OneRunFeed() : EncodedFeed(true) {}
    int builds = 0;
    gstref::Element buildPipeline(QString &failure) override
    {
        failure = u"no more pictures"_s;
        return builds++ ? gstref::Element()
                        : gstref::Element(GST_ELEMENT(gst_object_ref_sink(gst_parse_launch(
                              "videotestsrc is-live=true ! video/x-raw,width=160,height=120,framerate=30/1 ! "
                              "identity error-after=30 ! x264enc tune=zerolatency key-int-max=10 ! "
                              "h264parse config-interval=-1 ! video/x-h264,stream-format=byte-stream,alignment=au ! "
                              "appsink name=out",
                              nullptr))));
    }
};

} // namespace

class TestGoLive : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(StartGStreamer()); }

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
        const RtmpTarget target(u"rtmp://example.org/live2/"_s, u"secret/x?"_s);
        QCOMPARE(target.location(), u"rtmp://example.org/live2/secret/x?"_s);
        QCOMPARE(target.withoutKey(u"at rtmp://example.org/live2/secret/x? and secret%2Fx%3F"_s),
                 u"at rtmp://example.org/live2/(stream key) and (stream key)"_s);
    }

    // Servers that cannot be reached or never answer are tried again, one line an attempt, the
    // waits growing, the encoder at the chosen rate until the user stops; a refused key or a
    // certificate nobody signed stops the push, in one line.
    void serversThatTurnTheStreamAway_data()
    {
        QTest::addColumn<QString>("line");
        // The reason once, not as the element words it ("Connection refused: ... refused").
        QTest::newRow("unreachable")
            << u"to 127.0.0.1: Could not connect to 127.0.0.1: Connection refused; trying again in 1 s"_s;
        QTest::newRow("stalled") << u"timed out; trying again in 1 s"_s;
        QTest::newRow("refused key") << u"Live stream stopped: 127.0.0.1 refused the stream ("_s;
        QTest::newRow("bad certificate") << u"Live stream stopped: 127.0.0.1 has no valid certificate"_s;
    }
    void serversThatTurnTheStreamAway()
    {
        QFETCH(QString, line);
        QTcpServer silent; // accepts, never reads nor answers
        NginxRtmp nginx;
        QTemporaryDir dir;
        QProcess tls;
        QString url =
            u"rtmp://127.0.0.1:%1/live"_s.arg(silent.listen(QHostAddress::LocalHost) ? silent.serverPort() : 0);
        const bool unreachable = qstrcmp(QTest::currentDataTag(), "unreachable") == 0;
        if (unreachable) {
            url = u"rtmp://127.0.0.1:%1/live"_s.arg(FreeLocalPort());
        } else if (qstrcmp(QTest::currentDataTag(), "refused key") == 0) {
            QVERIFY(nginx.start());
            url = nginx.url();
        } else if (qstrcmp(QTest::currentDataTag(), "bad certificate") == 0) {
            const QString cert = dir.filePath(u"cert.pem"_s), key = dir.filePath(u"key.pem"_s);
            QCOMPARE(runTool(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s,
                                            u"-keyout"_s, key, u"-out"_s, cert, u"-subj"_s, u"/CN=localhost"_s})
                         .right(6),
                     u"exit 0"_s);
            const quint16 port = FreeLocalPort();
            tls.start(u"openssl"_s, {u"s_server"_s, u"-quiet"_s, u"-accept"_s, u"127.0.0.1:%1"_s.arg(port), u"-cert"_s,
                                     cert, u"-key"_s, key});
            QTRY_VERIFY_WITH_TIMEOUT(PortAccepts(port), 5000);
            url = u"rtmps://127.0.0.1:%1/live"_s.arg(port);
        }
        Pushing pushing;
        pushing.live.Start(RtmpTarget(url, url == nginx.url() ? u"refused"_s : u"k"_s), 900);
        QVERIFY2(pushing.waitForLine(line), qPrintable(pushing.lines()));
        const bool retries = line.contains(u"trying again"_s);
        QCOMPARE(pushing.live.Active(), retries);
        QCOMPARE(pushing.video.bitrate(), retries ? 900 : H264Feed::DefaultBitrateKbps);
        if (unreachable)
            QVERIFY2(pushing.waitForLine(u"refused; trying again in 2 s"_s, 5000), qPrintable(pushing.lines()));
        QTest::qWait(retries ? 0 : 1500);
        pushing.live.Stop();
        QVERIFY(pushing.live.StateText().startsWith(retries ? u"Stopped: stopped by the user"_s : u"Stopped: 127"_s));
        QCOMPARE(pushing.logged.size(), 1 + retries + unreachable);
        QCOMPARE(pushing.video.bitrate(), H264Feed::DefaultBitrateKbps);
        tls.kill();
        tls.waitForFinished();
    }

    // A server that turns every attempt away ("Already publishing") is tried again and again:
    // each attempt's connection goes with it.
    void retriesLeaveNoConnectionBehind()
    {
        NginxRtmp nginx;
        QVERIFY(nginx.start());
        const quint16 port = static_cast<quint16>(QUrl(nginx.url()).port());
        Pushing first;
        first.live.Start(RtmpTarget(nginx.url(), u"taken"_s), 900);
        QTRY_COMPARE_WITH_TIMEOUT(connectionsTo(port), 1, 30000); // ThreadSanitizer makes it slow
        Pushing second;
        second.live.Start(RtmpTarget(nginx.url(), u"taken"_s), 900);
        QVERIFY2(second.waitForLine(u"trying again in 4 s"_s, 30000), qPrintable(second.lines()));
        QTRY_VERIFY_WITH_TIMEOUT(connectionsTo(port) <= 2, 5000);
    }

    // A stream whose picture ends is over, sound or not: it ends and may be tried again.
    void pushEndsWithThePicture()
    {
        NginxRtmp nginx;
        QVERIFY(nginx.start());
        OneRunFeed video;
        AacFeed audio;
        RtmpPush push(video, audio);
        std::atomic<bool> ended{false};
        QString failure;
        QVERIFY2(push.Start(
                     nginx.url() + u"/pictures"_s,
                     [&](const QString &why, RtmpPush::Failure kind) {
                         ended = why == u"the picture ended"_s && kind == RtmpPush::Failure::Network;
                     },
                     failure),
                 qPrintable(failure));
        QTRY_VERIFY_WITH_TIMEOUT(push.BytesSent() > 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 10000);
    }

    // The whole program, started to go live: the server gets picture and sound, HLS from it
    // plays, and after the server died and came back the program is live again within 10 s.
    void programGoesLiveAndComesBack()
    {
        NginxRtmp nginx;
        QVERIFY(nginx.start());
        const QString key = u"k%1"_s.arg(FreeLocalPort());
        const quint16 port = FreeServerPort();
        BlackBoxVantrel program("[FormMain]\nEnabled=1\nRtspPort=0\nPort=" + QByteArray::number(port) +
                                "\n[FormGoLive]\nUrl=" + nginx.url().toUtf8() + "\nKey=" + key.toUtf8() +
                                "\nAutoStart=1\n");
        QVERIFY(program.start());
        QVERIFY2(program.waitForLogLineEndingWith(u"Live on 127.0.0.1"_s, 20000), qPrintable(program.standardError()));

        const QString probed = runTool(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_entries"_s, u"stream=codec_name"_s,
                                                      u"-of"_s, u"csv=p=0"_s, nginx.url() + u'/' + key});
        QVERIFY2(probed.contains(u"h264"_s) && probed.contains(u"aac"_s) && probed.endsWith(u"exit 0"_s),
                 qPrintable(probed));
        QTRY_VERIFY_WITH_TIMEOUT(nginx.hlsWritten(key), 15000);
        const QString played = runTool(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, nginx.hlsUrl(key), u"-t"_s, u"2"_s,
                                                     u"-f"_s, u"null"_s, u"-"_s});
        QVERIFY2(played.endsWith(u"exit 0"_s), qPrintable(played));
        QTcpSocket peer; // the program's /state
        peer.connectToHost(u"127.0.0.1"_s, port);
        QVERIFY(peer.waitForConnected(2000) && peer.write("GET /state HTTP/1.0\r\n\r\n") && peer.waitForDisconnected());
        const QByteArray reply = peer.readAll();
        const auto state = QJsonDocument::fromJson(reply.mid(reply.indexOf("\r\n\r\n") + 4))[u"golive"_s];
        QCOMPARE(state[u"state"_s].toString() + state[u"host"_s].toString(), u"live127.0.0.1"_s);
        QVERIFY(state[u"kbps"_s].toInt() > 100);

        nginx.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!program.logLines().filter(u"trying again in"_s).isEmpty(), 15000);
        QVERIFY(nginx.start());
        QTRY_VERIFY_WITH_TIMEOUT(program.logLines().filter(u"Live on 127.0.0.1"_s).size() == 2, 10000);
        QVERIFY(program.logLines().filter(key).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestGoLive)
#include "TestGoLive.moc"
