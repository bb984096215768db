// Passive-mode uploads: the client opens the data connection, always to the server it
// logged in to.
#include "tests/net/ftp/FtpFixture.h"
#include "tests/net/ftp/FtpTestServers.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A server on 127.0.0.1 for passive replies no real server gives. Its data port listens on
// 127.0.0.1 only, so a client that follows an address other than the server's never gets in.
class PassiveFtpServer : public QObject {
public:
    PassiveFtpServer()
    {
        control_.listen(QHostAddress::LocalHost, 0);
        data_.listen(QHostAddress::LocalHost, 0);
        connect(&control_, &QTcpServer::newConnection, this, [this] { AcceptControl(); });
        connect(&data_, &QTcpServer::newConnection, this, [this] { AcceptData(); });
        const QByteArray port = QByteArray::number(data_.serverPort());
        const QByteArray pasvPort =
            QByteArray::number(data_.serverPort() >> 8) + ',' + QByteArray::number(data_.serverPort() & 0xff);
        Replies["USER"] = "230 In.\r\n";
        Replies["QUIT"] = "221 Bye.\r\n";
        Replies["EPSV"] = "229 Entering Extended Passive Mode (|||" + port + "|)\r\n";
        Replies["PASV"] = "227 Entering Passive Mode (127,0,0,1," + pasvPort + ").\r\n";
        Replies["STOR"] = "150 Go ahead.\r\n";
    }

    quint16 Port() const { return control_.serverPort(); }
    quint16 DataPort() const { return data_.serverPort(); }

    QHash<QByteArray, QByteArray> Replies; // by command; "200 OK" for the others
    QByteArray dialogue;
    QByteArray received;

private:
    void AcceptControl()
    {
        QTcpSocket *control = control_.nextPendingConnection();
        controlSocket_ = control;
        control->write("220 Passive only\r\n");
        connect(control, &QTcpSocket::readyRead, this, [this, control] {
            while (control->canReadLine()) {
                const QByteArray line = control->readLine();
                dialogue += line;
                control->write(Replies.value(line.trimmed().split(' ').value(0), "200 OK\r\n"));
            }
        });
    }

    void AcceptData()
    {
        QTcpSocket *data = data_.nextPendingConnection();
        connect(data, &QTcpSocket::readyRead, this, [this, data] { received += data->readAll(); });
        connect(data, &QTcpSocket::disconnected, this, [this, data] {
            received += data->readAll();
            if (controlSocket_)
                controlSocket_->write("226 Stored.\r\n");
        });
    }

    QTcpServer control_;
    QTcpServer data_;
    QPointer<QTcpSocket> controlSocket_;
};

QString WriteFile(const QTemporaryDir &folder, const QByteArray &content)
{
    const QString path = folder.filePath(QStringLiteral("passive.jpg"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

QByteArray RandomBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}

} // namespace

class TestFtpPassive : public QObject {
    Q_OBJECT

private slots:
    void realServerGetsTheFileIntact_data();
    void realServerGetsTheFileIntact();
    void dataConnectionGoesToTheServer_data();
    void dataConnectionGoesToTheServer();
    void unusableOffers_data();
    void unusableOffers();

private:
    QTemporaryDir local_;
};

void TestFtpPassive::realServerGetsTheFileIntact_data()
{
    QTest::addColumn<QString>("user");
    QTest::newRow("EPSV") << QStringLiteral("vantrel");
    QTest::newRow("PASV where EPSV is refused") << QStringLiteral("pasv");
}

void TestFtpPassive::realServerGetsTheFileIntact()
{
    QFETCH(QString, user);
    PyFtpServer server;
    QVERIFY(server.Port() != 0);
    const QByteArray content = RandomBytes(150000) + "\r\n\n\r";
    const QString path = WriteFile(local_, content);
    FtpFixture fixture(server.Port(), user);
    fixture.ftp.SetPassive(true);
    QCOMPARE(fixture.Run([&] {
        fixture.ftp.Mode(3);
        fixture.ftp.Upload(path, QStringLiteral("cam/../snap.jpg"));
        fixture.ftp.Disconnect();
    }),
             QString());
    QCOMPARE(fixture.events,
             (QStringList{QStringLiteral("connect"), QStringLiteral("success:14"), QStringLiteral("success:9")}));
    QFile stored(QDir(server.Folder()).filePath(QStringLiteral("snap.jpg")));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), content);
}

void TestFtpPassive::dataConnectionGoesToTheServer_data()
{
    QTest::addColumn<QByteArray>("epsv");
    QTest::addColumn<QByteArray>("pasvAddress"); // empty: the server's own
    QTest::addColumn<QByteArray>("dialogue");
    QTest::newRow("EPSV") << QByteArray() << QByteArray() << QByteArray("EPSV\r\nSTOR p.jpg\r\n");
    QTest::newRow("PASV naming another address")
        << QByteArray("500 EPSV not understood.\r\n") << QByteArray("127,0,0,2")
        << QByteArray("EPSV\r\nPASV\r\nSTOR p.jpg\r\n");
    QTest::newRow("PASV naming a router's inner address")
        << QByteArray("502 Not implemented.\r\n") << QByteArray("0,0,0,0")
        << QByteArray("EPSV\r\nPASV\r\nSTOR p.jpg\r\n");
}

void TestFtpPassive::dataConnectionGoesToTheServer()
{
    QFETCH(QByteArray, epsv);
    QFETCH(QByteArray, pasvAddress);
    QFETCH(QByteArray, dialogue);
    PassiveFtpServer server;
    if (!epsv.isEmpty())
        server.Replies["EPSV"] = epsv;
    if (!pasvAddress.isEmpty())
        server.Replies["PASV"].replace("127,0,0,1", pasvAddress);
    const QByteArray content = RandomBytes(70000);
    FtpFixture fixture(server.Port());
    fixture.ftp.SetPassive(true);
    fixture.ftp.SetTimeOut(5000);
    QCOMPARE(fixture.Run([&] { fixture.ftp.Upload(WriteFile(local_, content), QStringLiteral("p.jpg")); }), QString());
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("connect"), QStringLiteral("success:9")}));
    QCOMPARE(server.dialogue, "USER vantrel\r\n" + dialogue);
    QCOMPARE(server.received, content);
}

void TestFtpPassive::unusableOffers_data()
{
    QTest::addColumn<QByteArray>("epsv");
    QTest::addColumn<QByteArray>("pasv");
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<QString>("raised");
    QTest::newRow("both refused") << QByteArray("500 No.\r\n") << QByteArray("425 Cannot open.\r\n") << false
                                  << QStringLiteral("425 Cannot open.\r\n");
    QTest::newRow("no port in the reply")
        << QByteArray("501 No.\r\n") << QByteArray("227 Entering Passive Mode (127,0,0,1).\r\n") << false
        << QStringLiteral("227 Entering Passive Mode (127,0,0,1).\r\n");
    QTest::newRow("number above 255") << QByteArray("501 No.\r\n")
                                      << QByteArray("227 Entering Passive Mode (127,0,0,1,256,1).\r\n") << false
                                      << QStringLiteral("227 Entering Passive Mode (127,0,0,1,256,1).\r\n");
    QTest::newRow("EPSV without a port") << QByteArray("229 Entering Extended Passive Mode (|||0|)\r\n") << QByteArray()
                                         << false << QStringLiteral("229 Entering Extended Passive Mode (|||0|)\r\n");
    QTest::newRow("nobody listens") << QByteArray() << QByteArray() << true
                                    << QStringLiteral("Passive data connection to 127.0.0.1 port %1 failed: "
                                                      "Connection Failed");
}

// Each fails the upload before STOR; the control connection was fine, so the session quits.
void TestFtpPassive::unusableOffers()
{
    QFETCH(QByteArray, epsv);
    QFETCH(QByteArray, pasv);
    QFETCH(bool, closedPort);
    QFETCH(QString, raised);
    PassiveFtpServer server;
    if (!epsv.isEmpty())
        server.Replies["EPSV"] = epsv;
    if (!pasv.isEmpty())
        server.Replies["PASV"] = pasv;
    if (closedPort) {
        QTcpServer gone;
        gone.listen(QHostAddress::LocalHost, 0);
        const quint16 port = gone.serverPort();
        server.Replies["EPSV"] = "229 Entering Extended Passive Mode (!!!" + QByteArray::number(port) + "!)\r\n";
        raised = raised.arg(port);
    }
    FtpFixture fixture(server.Port());
    fixture.ftp.SetPassive(true);
    QCOMPARE(fixture.Run([&] { fixture.ftp.Upload(WriteFile(local_, "jpeg"), QStringLiteral("p.jpg")); }), raised);
    QCOMPARE(fixture.events.first(), QStringLiteral("connect"));
    QCOMPARE(fixture.events.last(), QStringLiteral("failure:9"));
    QVERIFY(!server.dialogue.contains("STOR"));
    QTRY_VERIFY(server.dialogue.endsWith("QUIT\r\n"));
}

QTEST_GUILESS_MAIN(TestFtpPassive)
#include "TestFtpPassive.moc"
