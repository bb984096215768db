// TLS on the same port as plain connections, with real clients (curl, openssl s_client) and
// the program's own self-signed certificate.
#include "tests/net/NetTestSupport.h"
#include "tests/net/ServerFixture.h"

#include "net/SelfSignedCertificate.h"
#include "net/TlsContext.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A client process run to its end while the server's loop goes on: its output and exit code.
struct Outcome {
    QByteArray out;
    int exitCode = -1;
};
Outcome Run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!PumpUntil([&] { return process.state() == QProcess::NotRunning; }, 30000))
        process.kill();
    process.waitForFinished(5000);
    return {process.readAll(), process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1};
}

struct TlsServer {
    QTemporaryDir dir;
    QString certificate = dir.filePath(u"cert.pem"_s);
    QString key = dir.filePath(u"key.pem"_s);
    std::shared_ptr<TlsContext> context;
    ServerFixture fixture;
    quint16 port = 0;
    bool encrypted = false;
    // Larger than the socket takes at once, so that sends wait for room in the middle.
    QByteArray body = Pattern(4 << 20);

    TlsServer()
    {
        const QString made = selfsigned::Make(certificate, key, u"vantrel-test"_s, {u"localhost"_s}, {u"127.0.0.1"_s});
        QString failure;
        context = TlsContext::FromFiles(certificate, key, failure);
        if (!made.isEmpty() || !context)
            qWarning() << made << failure;
        fixture.server.SetTls(context);
        fixture.server.SetTlsHandshakeLimitMs(1000);
        // Every request gets a head and a body large enough to wait for room, then the close.
        fixture.onRead = [this](TCustomWinSocket *socket, const QByteArray &) {
            encrypted = socket->Encrypted();
            socket->WriteText("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
            socket->WriteStreamThenClose(BufferOf(body));
        };
        port = fixture.Start();
    }
    QString url(const char *scheme) const
    {
        return u"%1://127.0.0.1:%2/pic.jpg"_s.arg(QLatin1String(scheme)).arg(port);
    }
};

} // namespace

class TestTlsServer : public QObject {
    Q_OBJECT

private slots:
    void sameBytesOverTlsAndPlain_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("https, the certificate trusted") << u"https"_s;
        QTest::newRow("plain http on the same port") << u"http"_s;
    }
    void sameBytesOverTlsAndPlain()
    {
        QFETCH(QString, scheme);
        TlsServer server;
        QVERIFY(server.context);
        const Outcome got = Run(u"curl"_s, {u"-sS"_s, u"--cacert"_s, server.certificate, u"-o"_s, u"-"_s,
                                            server.url(scheme.toLatin1().constData())});
        QCOMPARE(got.exitCode, 0);
        QVERIFY2(got.out == server.body, got.out.left(200).constData());
        QCOMPARE(server.encrypted, scheme == u"https"_s);
    }

    void versions_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("connects");
        QTest::newRow("TLS 1.3") << u"-tls1_3"_s << true;
        QTest::newRow("TLS 1.2") << u"-tls1_2"_s << true;
        QTest::newRow("TLS 1.1 refused") << u"-tls1_1"_s << false;
        QTest::newRow("TLS 1.0 refused") << u"-tls1"_s << false;
    }
    void versions()
    {
        QFETCH(QString, option);
        QFETCH(bool, connects);
        TlsServer server;
        // Old versions need the client's own security level lowered to be offered at all.
        const Outcome got = Run(u"openssl"_s,
                                {u"s_client"_s, u"-ign_eof"_s, option, u"-cipher"_s, u"DEFAULT:@SECLEVEL=0"_s,
                                 u"-connect"_s, u"127.0.0.1:%1"_s.arg(server.port)},
                                "GET /pic.jpg HTTP/1.0\r\n\r\n");
        QCOMPARE(got.out.contains("HTTP/1.0 200 OK"), connects);
    }

    // What no TLS client sends: a handshake record of garbage, one that stops half way, and
    // bytes after a real handshake that are no record. Each ends the connection at once or
    // when the handshake's time is up, never held for ever.
    void brokenHandshakesAreClosed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage after 0x16") << QByteArray("\x16garbage that is no TLS record at all\r\n\r\n");
        QTest::newRow("a handshake that stops") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
    }
    void brokenHandshakesAreClosed()
    {
        QFETCH(QByteArray, bytes);
        TlsServer server;
        RawPeer peer;
        QVERIFY(peer.Connect(server.port));
        QVERIFY(peer.Send(bytes));
        const QByteArray answer = peer.ReceiveUntilClosed(5000);
        QVERIFY(peer.ClosedByServer());
        QVERIFY(!answer.contains("HTTP"));
        QVERIFY(PumpUntil([&] { return server.fixture.Count(u"disconnect"_s) == 1; }));
    }

    void certificateAsOpensslSeesIt()
    {
        TlsServer server;
        const Outcome fingerprint =
            Run(u"openssl"_s, {u"x509"_s, u"-noout"_s, u"-fingerprint"_s, u"-sha256"_s, u"-in"_s, server.certificate});
        QCOMPARE(QString::fromLatin1(fingerprint.out).trimmed().section(u'=', 1), server.context->Fingerprint());
        const Outcome names =
            Run(u"openssl"_s, {u"x509"_s, u"-noout"_s, u"-ext"_s, u"subjectAltName"_s, u"-in"_s, server.certificate});
        QVERIFY2(names.out.contains("DNS:localhost, IP Address:127.0.0.1"), names.out.constData());
        QCOMPARE(QFile::permissions(server.key),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    void unusableFilesAreRefused_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << u"missing.pem"_s << u"key.pem"_s << u"cannot be read"_s;
        QTest::newRow("not PEM") << u"junk.pem"_s << u"key.pem"_s << u"holds no certificate"_s;
        QTest::newRow("another's key") << u"cert.pem"_s << u"other-key.pem"_s << u"is not the certificate's"_s;
    }
    void unusableFilesAreRefused()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, key);
        QFETCH(QString, reason);
        TlsServer server;
        QVERIFY(selfsigned::Make(server.dir.filePath(u"other.pem"_s), server.dir.filePath(u"other-key.pem"_s),
                                 u"other"_s, {}, {})
                    .isEmpty());
        QFile junk(server.dir.filePath(u"junk.pem"_s));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a certificate\n") > 0);
        junk.close();
        QString failure;
        QVERIFY(!TlsContext::FromFiles(server.dir.filePath(certificate), server.dir.filePath(key), failure));
        QVERIFY2(failure.contains(reason), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(TestTlsServer)
#include "TestTlsServer.moc"
