// Recorders find and read the running program with real ONVIF clients (the `onvif` npm
// package and onvif-util), inside a network namespace of the test's own so that no multicast
// leaves the machine.
#include "onvif/PullPoints.h"
#include "onvif/WsDiscovery.h"
#include "tests/support/BlackBox.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <sched.h>

using namespace Qt::StringLiterals;

namespace {

QJsonObject recorder(const QStringList &arguments)
{
    const QByteArray out =
        Run(QStandardPaths::findExecutable(u"node"_s),
            QStringList{QStringLiteral(VANTREL_SOURCE_DIR "/tests/onvif/onvif_client.mjs")} + arguments);
    return QJsonDocument::fromJson(out.mid(out.indexOf('{'))).object();
}

QByteArray soap(quint16 port, const QByteArray &body)
{
    return Run(u"curl"_s,
               {u"-sS"_s, u"-i"_s, u"-H"_s, u"Content-Type: application/soap+xml"_s, u"--data-binary"_s, u"@-"_s,
                u"http://127.0.0.1:%1/onvif/device_service"_s.arg(port)},
               body);
}

QByteArray envelope(const QByteArray &inner)
{
    return "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>" + inner +
           "</s:Body></s:Envelope>";
}

// A viewer recorders log in as: "nvr" with the password "secret".
QByteArray recorderViewer()
{
    return "[Viewers]\nCount=1\nName1=nvr\nPasswordHash1=pbkdf2-sha256$600000$c2FsdHNhbHRzYWx0c2FsdA==$" +
           QByteArray("qVlsnRRU7TXi8jRSxjJNuzfiXntfl2RrSjfGOecD1lk=") + "\nLive1=1\nRecorder1=1\n";
}

#ifdef FAKE_DEVICES_DIR
// Helpers of the tests that need the fake camera (made in builds without sanitizers).
// The next line of the client's that holds `text`, within the time given; empty when none came.
QByteArray lineWith(QProcess &client, const QByteArray &text, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        while (client.canReadLine()) {
            const QByteArray line = client.readLine();
            if (line.contains(text))
                return line;
        }
        client.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    return {};
}

// One SOAP request to the events service over a connection of its own, not waited on.
std::unique_ptr<QTcpSocket> eventsRequest(quint16 port, const QString &path, const QByteArray &inner)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    const QByteArray body = envelope(inner);
    socket->write("POST " + path.toLatin1() + " HTTP/1.0\r\nContent-Type: application/soap+xml\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    return socket;
}

QByteArray answerOf(QTcpSocket &socket)
{
    while (socket.state() != QAbstractSocket::UnconnectedState && socket.waitForReadyRead(30000)) {
    }
    return socket.readAll();
}

const QByteArray Subscribe = "<CreatePullPointSubscription xmlns=\"http://www.onvif.org/ver10/events/wsdl\"/>";
const QByteArray Pull = "<PullMessages xmlns=\"http://www.onvif.org/ver10/events/wsdl\"><Timeout>PT30S</Timeout>"
                        "<MessageLimit>10</MessageLimit></PullMessages>";

QByteArray probe(int number)
{
    return "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:a=\"http://schemas.xmlsoap.org/ws/"
           "2004/08/addressing\" xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><s:Header><a:MessageID>"
           "urn:uuid:" +
           QByteArray::number(number) + "</a:MessageID></s:Header><s:Body><d:Probe/></s:Body></s:Envelope>";
}
#endif

struct OnvifProgram {
    quint16 port = FreeServerPort();
    BlackBoxVantrel program;
    explicit OnvifProgram(const QByteArray &more)
        : program("[FormMain]\nEnabled=1\nOnvif=1\nPort=" + QByteArray::number(port) +
                  "\nRtspPort=" + QByteArray::number(FreeServerPort()) + "\n" + more)
    {
    }
    bool start() { return program.start() && program.waitForLogLineEndingWith(u"/onvif/device_service"_s, 30000); }
};

} // namespace

class TestOnvifEndToEnd : public QObject {
    Q_OBJECT

private slots:
    // Everything here runs in a network namespace with only loopback, multicast routed on it.
    void initTestCase()
    {
        if (unshare(CLONE_NEWNET) != 0)
            QSKIP("a network namespace of our own needs root (CAP_SYS_ADMIN)");
        for (const char *command :
             {"ip link set lo up", "ip link set lo multicast on", "ip route add 239.0.0.0/8 dev lo"})
            QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s, QString::fromLatin1(command)}), 0);
    }

    void openCameraIsFoundAndPlays()
    {
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress::AnyIPv4, 3702, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(listener.joinMulticastGroup(QHostAddress(u"239.255.255.250"_s)));
        OnvifProgram serving({});
        QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));

        const QJsonObject found = recorder({});
        QVERIFY2(found[u"streamUri"_s].toString().startsWith(u"rtsp://127.0.0.1:"_s), QJsonDocument(found).toJson());
        // The newer media service is the one the client takes.
        QVERIFY(found[u"media2"_s].toBool());
        QCOMPARE(found[u"profiles"_s].toArray().first()[u"encoding"_s].toString(), u"H264"_s);
        QVERIFY(found[u"found"_s].toArray().first()[u"xaddrs"_s].toString().contains(
            u":%1/onvif/device_service"_s.arg(serving.port)));
        const QByteArray codec =
            Run(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-rtsp_transport"_s, u"tcp"_s, u"-show_entries"_s,
                               u"stream=codec_name"_s, u"-of"_s, u"csv=p=0"_s, found[u"streamUri"_s].toString()});
        QVERIFY2(codec.startsWith("h264"), codec.constData());
        QVERIFY(Run(u"curl"_s, {u"-sS"_s, found[u"snapshotUri"_s].toString()}).startsWith("\xff\xd8"));
        const QByteArray util = Run(u"onvif-util"_s, {u"-a"_s}, {}, 30000);
        QVERIFY2(util.contains("Found 1 cameras") && util.contains("127.0.0.1"), util.constData());

        // Bad requests get faults, never a hang.
        QVERIFY(soap(serving.port, envelope("<GetNothing xmlns=\"urn:x\"/>")).contains("ter:ActionNotSupported"));
        QVERIFY(soap(serving.port, envelope("<GetProfiles xmlns=\"urn:x\"/>")).contains("ter:ActionNotSupported"));
        QVERIFY(soap(serving.port, "<!DOCTYPE s [<!ENTITY a \"aaaa\">]>" + envelope("<x>&a;</x>"))
                    .contains("document type declarations are not accepted"));
        QVERIFY(soap(serving.port, envelope("<GetProfiles")).startsWith("HTTP/1.0 400 Bad Request"));
        QVERIFY(soap(serving.port, QByteArray(1 << 20, 'x')).startsWith("HTTP/1.0 413"));

        // Hello at the start, Bye at the end.
        serving.program.stop();
        QByteArray heard;
        while (listener.hasPendingDatagrams() || listener.waitForReadyRead(2000)) {
            heard += listener.receiveDatagram().data();
            if (heard.contains("<d:Bye>"))
                break;
        }
        QVERIFY2(heard.contains("<d:Hello>") && heard.contains("<d:Bye>"), heard.left(600).constData());
    }

#ifdef FAKE_DEVICES_DIR
    // A camera that is still, then moves, then is still again: the recorder is told of each
    // change (well within a second; the limit leaves room for a loaded machine).
    void motionIsToldAsItHappens()
    {
        QTemporaryDir folder;
        const QString moving = folder.filePath(u"moving"_s);
        OnvifProgram serving({});
        serving.program.setEnvironment(u"GST_PLUGIN_PATH"_s, QString::fromUtf8(FAKE_DEVICES_DIR));
        serving.program.setEnvironment(u"FAKE_CAMERA_MOTION_FILE"_s, moving);
        QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));
        QProcess client;
        client.start(QStandardPaths::findExecutable(u"node"_s),
                     {QStringLiteral(VANTREL_SOURCE_DIR "/tests/onvif/onvif_client.mjs"), u"--address"_s,
                      u"127.0.0.1:%1"_s.arg(serving.port), u"--watch"_s, u"30"_s});
        QVERIFY2(!lineWith(client, "\"subscribed\"", 30000).isEmpty(), client.readAllStandardError().constData());
        QVERIFY(!lineWith(client, "\"moving\":false", 10000).isEmpty());
        QList<qint64> delays;
        for (const bool now : {true, false}) {
            QFile file(moving);
            QVERIFY(now ? file.open(QIODevice::WriteOnly) : file.remove());
            const qint64 changed = QDateTime::currentMSecsSinceEpoch();
            const QByteArray told = lineWith(client, now ? "\"moving\":true" : "\"moving\":false", 10000);
            QVERIFY2(!told.isEmpty(), now ? "no motion told" : "no end of motion told");
            delays << QJsonDocument::fromJson(told)[u"at"_s].toInteger() - changed;
        }
        qInfo("motion told after %lld ms, its end after %lld ms", delays[0], delays[1]);
        QVERIFY(delays[0] < 3000 && delays[1] < 3000);
        client.kill();
        client.waitForFinished();
    }
    // A flood of probes from one address gets a few answers a second; another address is
    // still answered. Subscriptions are bounded, and pulls held by many recorders at once hold
    // up nothing else.
    void manyRecordersAtOnce()
    {
        QTemporaryDir folder;
        OnvifProgram serving({});
        serving.program.setEnvironment(u"GST_PLUGIN_PATH"_s, QString::fromUtf8(FAKE_DEVICES_DIR));
        serving.program.setEnvironment(u"FAKE_CAMERA_MOTION_FILE"_s, folder.filePath(u"still"_s));
        QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));

        QUdpSocket flood;
        QVERIFY(flood.bind(QHostAddress(u"127.0.0.1"_s), 0));
        for (int n = 0; n < 200; ++n)
            flood.writeDatagram(probe(n), QHostAddress(u"127.0.0.1"_s), 3702);
        int matches = 0;
        while (flood.waitForReadyRead(1000))
            while (flood.hasPendingDatagrams())
                matches += flood.receiveDatagram().data().contains("ProbeMatches") ? 1 : 0;
        QVERIFY2(matches >= 1 && matches <= 3 * WsDiscovery::MostAnswersPerSecond,
                 qPrintable(QString::number(matches)));
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress(u"127.0.0.2"_s), 0));
        other.writeDatagram(probe(1000), QHostAddress(u"127.0.0.1"_s), 3702);
        QVERIFY(other.waitForReadyRead(5000) && other.receiveDatagram().data().contains("ProbeMatches"));

        std::vector<QString> pullPoints;
        int refused = 0;
        for (int n = 0; n < 200; ++n) {
            const auto socket = eventsRequest(serving.port, u"/onvif/events_service"_s, Subscribe);
            const QByteArray answer = answerOf(*socket);
            const qsizetype at = answer.indexOf("/onvif/events_service/");
            if (at >= 0)
                pullPoints.push_back(QString::fromLatin1(answer.mid(at, answer.indexOf('<', at) - at)));
            refused += answer.contains("Too many subscriptions") ? 1 : 0;
        }
        QCOMPARE(int(pullPoints.size()), PullPoints::MostSubscriptions);
        QCOMPARE(refused, 200 - PullPoints::MostSubscriptions);

        // Each takes its first message, then 50 of them wait for the next.
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (size_t n = 0; n < 50; ++n) {
            QVERIFY(answerOf(*eventsRequest(serving.port, pullPoints[n], Pull)).contains("Initialized"));
            held.push_back(eventsRequest(serving.port, pullPoints[n], Pull));
            QVERIFY(held.back()->waitForBytesWritten(10000));
        }
        const auto time = eventsRequest(serving.port, u"/onvif/device_service"_s,
                                        "<GetSystemDateAndTime xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>");
        QVERIFY(answerOf(*time).contains("<tt:UTCDateTime>"));
        QVERIFY(std::all_of(held.begin(), held.end(), [](const auto &socket) {
            return socket->state() == QAbstractSocket::ConnectedState && socket->bytesAvailable() == 0;
        }));
    }

#endif

    void recordersLogInAsTheirViewer()
    {
        OnvifProgram serving(recorderViewer());
        QFile kept(QFileInfo(serving.program.settingsPath()).dir().filePath(u"vantrel-recorder-passwords"_s));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("bnZy c2VjcmV0\n") > 0);
        kept.close();
        QVERIFY2(serving.start(), qPrintable(serving.program.standardError()));
        const QString address = u"127.0.0.1:%1"_s.arg(serving.port);
        const QJsonObject right =
            recorder({u"--user"_s, u"nvr"_s, u"--password"_s, u"secret"_s, u"--events"_s, u"1"_s});
        QVERIFY2(right[u"streamUri"_s].toString().startsWith(u"rtsp://"_s), QJsonDocument(right).toJson());
        QVERIFY2(right[u"events"_s].toString().contains(u"tns1:RuleEngine/CellMotionDetector/Motion"_s) &&
                     right[u"events"_s].toString().contains(u"Name=\"IsMotion\""_s),
                 QJsonDocument(right).toJson());
        const QJsonObject wrong =
            recorder({u"--user"_s, u"nvr"_s, u"--password"_s, u"guess"_s, u"--address"_s, address});
        QVERIFY2(wrong[u"error"_s].toString().contains(u"wrong viewer password"_s), QJsonDocument(wrong).toJson());
        const QJsonObject digest = recorder(
            {u"--user"_s, u"nvr"_s, u"--password"_s, u"secret"_s, u"--digest"_s, u"1"_s, u"--address"_s, address});
        QVERIFY2(digest[u"streamUri"_s].toString().startsWith(u"rtsp://"_s), QJsonDocument(digest).toJson());
        const QJsonObject wrongDigest = recorder(
            {u"--user"_s, u"nvr"_s, u"--password"_s, u"guess"_s, u"--digest"_s, u"1"_s, u"--address"_s, address});
        QVERIFY2(wrongDigest[u"error"_s].toString().contains(u"401"_s), QJsonDocument(wrongDigest).toJson());
        const QByteArray util =
            Run(u"onvif-util"_s, {u"-u"_s, u"nvr"_s, u"-p"_s, u"secret"_s, u"127.0.0.1"_s}, "get rtsp\nquit\n", 30000);
        QVERIFY2(util.contains("rtsp://127.0.0.1:"), util.constData());
        // Without a login only the time is told.
        QVERIFY(soap(serving.port, envelope("<GetProfiles xmlns=\"http://www.onvif.org/ver10/media/wsdl\"/>"))
                    .contains("ter:NotAuthorized"));
        QVERIFY(soap(serving.port, envelope("<GetSystemDateAndTime xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>"))
                    .contains("<tt:UTCDateTime>"));
    }
};

QTEST_GUILESS_MAIN(TestOnvifEndToEnd)
#include "TestOnvifEndToEnd.moc"
