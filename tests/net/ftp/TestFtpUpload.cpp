#include "tests/net/ftp/FtpFixture.h"
#include "tests/net/ftp/FtpTestServers.h"
#include "tests/support/FileBytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Random bytes with line ends in them, which an ASCII-mode transfer would change.
QByteArray RandomBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
    for (qsizetype at = 0; at + 1 < size; at += 997)
        bytes.replace(at, 2, "\r\n");
    return bytes;
}

QString WriteFile(const QTemporaryDir &folder, const QString &name, const QByteArray &content)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

} // namespace

class TestFtpUpload : public QObject {
    Q_OBJECT

private slots:
    void filesArriveIntact_data();
    void filesArriveIntact();
    void refusedStore_data();
    void refusedStore();
    void failuresBeforeTheTransfer();
    void commandDialogueByteForByte();
    void dataConnectionNeverOpened();
    void cancelledTransferLeavesNoFile();
    void resetDuringTransfer();
    void refusedCompletionIsNoSuccess();
    void quitEndsEveryWait_data();
    void quitEndsEveryWait();

private:
    QTemporaryDir local_;
};

void TestFtpUpload::filesArriveIntact_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<QString>("remoteName");
    QTest::addColumn<QString>("storedAs");
    QTest::addColumn<int>("packets");
    QTest::newRow("zero bytes") << qsizetype(0) << QStringLiteral("empty.jpg") << QStringLiteral("empty.jpg") << 0;
    QTest::newRow("one block and one byte")
        << qsizetype(65537) << QStringLiteral("snap.jpg") << QStringLiteral("snap.jpg") << 2;
    QTest::newRow("empty remote name") << qsizetype(1000) << QString() << QStringLiteral("local-1000.bin") << 1;
}

void TestFtpUpload::filesArriveIntact()
{
    QFETCH(qsizetype, size);
    QFETCH(QString, remoteName);
    QFETCH(QString, storedAs);
    QFETCH(int, packets);
    PyFtpServer server;
    QVERIFY(server.Port() != 0);
    const QByteArray content = RandomBytes(size);
    const QString path = WriteFile(local_, QStringLiteral("local-%1.bin").arg(size), content);
    FtpFixture fixture(server.Port());
    int packetsSent = 0;
    fixture.ftp.OnPacketSent = [&](QObject *) { ++packetsSent; };
    QCOMPARE(fixture.Run([&] {
        fixture.ftp.Mode(3); // as the snapshot upload does: pyftpdlib starts in ASCII mode
        fixture.ftp.Upload(path, remoteName);
        fixture.ftp.Disconnect();
    }),
             QString());
    QCOMPARE(fixture.events,
             (QStringList{QStringLiteral("connect"), QStringLiteral("success:14"), QStringLiteral("success:9")}));
    QCOMPARE(packetsSent, packets);
    QCOMPARE(fixture.ftp.BytesTotal(), size);
    QTRY_COMPARE(FileBytes(QDir(server.Folder()).filePath(storedAs)), content);
}

void TestFtpUpload::refusedStore_data()
{
    QTest::addColumn<bool>("handled");
    QTest::addColumn<QString>("raised");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("unhandled: failure twice, session quit")
        << false << QStringLiteral("553 Could not create file.\r\n")
        << QStringList{QStringLiteral("connect"), QStringLiteral("failure:9"), QStringLiteral("failure:9")};
    QTest::newRow("handled: session goes on")
        << true << QString()
        << QStringList{QStringLiteral("connect"), QStringLiteral("failure:9"), QStringLiteral("success:14")};
}

void TestFtpUpload::refusedStore()
{
    QFETCH(bool, handled);
    QFETCH(QString, raised);
    QFETCH(QStringList, events);
    PyFtpServer server;
    const QString path = WriteFile(local_, QStringLiteral("refused.jpg"), "jpeg");
    FtpFixture fixture(server.Port(), QStringLiteral("refused"));
    fixture.handleFailures = handled;
    QCOMPARE(fixture.Run([&] {
        fixture.ftp.Upload(path, QStringLiteral("x.jpg"));
        fixture.ftp.DoCommand(QStringLiteral("NOOP"));
    }),
             raised);
    QCOMPARE(fixture.events, events);
    QCOMPARE(fixture.ftp.Connected(), handled);
}

void TestFtpUpload::failuresBeforeTheTransfer()
{
    PyFtpServer server;
    FtpFixture fixture(server.Port());
    QCOMPARE(FtpFixture::Raised([&] { fixture.ftp.Upload(local_.filePath(QStringLiteral("a")), {}); }),
             QStringLiteral("Not Connected"));
    QCOMPARE(fixture.events, QStringList{QStringLiteral("failure:9")});

    fixture.events.clear();
    const QString missing = local_.filePath(QStringLiteral("missing.jpg"));
    QVERIFY(fixture.Run([&] { fixture.ftp.Upload(missing, {}); }).startsWith(QStringLiteral("Cannot open file")));
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("connect"), QStringLiteral("failure:9")}));
}

void TestFtpUpload::commandDialogueByteForByte()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "331 Password please.\r\n";
    server.Replies["PASS"] = "230 Logged in.\r\n";
    server.Replies["QUIT"] = "221 Bye.\r\n";
    const QByteArray content = RandomBytes(200000);
    const QString path = WriteFile(local_, QStringLiteral("dialogue.jpg"), content);
    FtpFixture fixture(server.Port());
    QCOMPARE(fixture.Run([&] {
        fixture.ftp.Mode(3);
        fixture.ftp.Upload(path, QStringLiteral("cam/snap 1.jpg"));
        fixture.ftp.Disconnect();
    }),
             QString());
    const QByteArray port = QByteArray::number(server.dataPort >> 8) + ',' + QByteArray::number(server.dataPort & 0xff);
    QCOMPARE(server.dialogue, "USER vantrel\r\nPASS secret\r\nTYPE L 8\r\nPORT 127,0,0,1," + port +
                                  "\r\nSTOR cam/snap 1.jpg\r\nQUIT\r\n");
    QCOMPARE(server.received, content);
    QCOMPARE(fixture.events,
             (QStringList{QStringLiteral("connect"), QStringLiteral("success:14"), QStringLiteral("success:9")}));
}

void TestFtpUpload::dataConnectionNeverOpened()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "230 In.\r\n";
    server.Replies["QUIT"] = "221 Bye.\r\n";
    server.Data = ScriptedFtpServer::DataMode::NeverConnect;
    const QString path = WriteFile(local_, QStringLiteral("never.jpg"), "jpeg");
    FtpFixture fixture(server.Port());
    fixture.ftp.SetTimeOut(300);
    QCOMPARE(fixture.Run([&] { fixture.ftp.Upload(path, QStringLiteral("never.jpg")); }),
             QStringLiteral("Accepting Canceled: the server did not connect within 0.3 s"));
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("connect"), QStringLiteral("failure:9")}));
    // The wait took the time the end of the session would have had: ABOR, and no QUIT.
    QTRY_VERIFY(server.dialogue.endsWith("STOR never.jpg\r\nABOR\r\n"));
    QTRY_COMPARE(server.closedConnections, 1);
}

void TestFtpUpload::cancelledTransferLeavesNoFile()
{
    PyFtpServer server;
    const QString path = WriteFile(local_, QStringLiteral("cut.jpg"), RandomBytes(1 << 20));
    FtpFixture fixture(server.Port());
    fixture.ftp.OnPacketSent = [](QObject *data) { static_cast<TPowersock *>(data)->Cancel(); };
    QCOMPARE(fixture.Run([&] { fixture.ftp.Upload(path, QStringLiteral("cut.jpg")); }),
             QStringLiteral("Socket send aborted"));
    QCOMPARE(fixture.events, (QStringList{QStringLiteral("connect"), QStringLiteral("failure:9")}));
    QVERIFY(QDir(server.Folder()).isEmpty()); // the server made the file at STOR, and dropped it at ABOR
}

void TestFtpUpload::resetDuringTransfer()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "230 In.\r\n";
    server.Data = ScriptedFtpServer::DataMode::ResetOnFirstData;
    const QString path = WriteFile(local_, QStringLiteral("reset.bin"), QByteArray(32 << 20, 'r'));
    FtpFixture fixture(server.Port());
    QCOMPARE(fixture.Run([&] { fixture.ftp.Upload(path, QStringLiteral("reset.bin")); }),
             QStringLiteral("10054:Connection reset by peer"));
    QCOMPARE(fixture.events,
             (QStringList{QStringLiteral("connect"), QStringLiteral("error:10054"), QStringLiteral("failure:9")}));
}

void TestFtpUpload::refusedCompletionIsNoSuccess()
{
    ScriptedFtpServer server;
    server.Replies["USER"] = "230 In.\r\n";
    server.Completion = "452 Disk full.\r\n";
    const QString path = WriteFile(local_, QStringLiteral("full.jpg"), "jpeg");
    FtpFixture fixture(server.Port());
    QCOMPARE(fixture.Run([&] { fixture.ftp.Upload(path, QStringLiteral("full.jpg")); }),
             QStringLiteral("452 Disk full.\r\n"));
    QCOMPARE(fixture.events,
             (QStringList{QStringLiteral("connect"), QStringLiteral("failure:9"), QStringLiteral("failure:9")}));
}

void TestFtpUpload::quitEndsEveryWait_data()
{
    QTest::addColumn<QByteArray>("passReply");
    QTest::addColumn<ScriptedFtpServer::DataMode>("data");
    QTest::addColumn<QByteArray>("completion");
    QTest::addColumn<QString>("raised");
    const QByteArray in = "230 Logged in.\r\n";
    const QByteArray done = "226 Done.\r\n";
    const auto receive = ScriptedFtpServer::DataMode::Receive;
    QTest::newRow("login reply") << QByteArray() << receive << done << QStringLiteral("Socket readln aborted");
    QTest::newRow("data connection") << in << ScriptedFtpServer::DataMode::NeverConnect << done
                                     << QStringLiteral("Accepting Canceled");
    QTest::newRow("completion reply") << in << receive << QByteArray() << QStringLiteral("Socket readln aborted");
}

// Closing the program while a wait has no time limit ends the wait at once.
void TestFtpUpload::quitEndsEveryWait()
{
    QFETCH(QByteArray, passReply);
    QFETCH(ScriptedFtpServer::DataMode, data);
    QFETCH(QByteArray, completion);
    QFETCH(QString, raised);
    ScriptedFtpServer server;
    server.Replies["USER"] = "331 Password please.\r\n";
    server.Replies["PASS"] = passReply;
    server.Data = data;
    server.Completion = completion;
    const QString path = WriteFile(local_, QStringLiteral("quit.jpg"), "jpeg");
    FtpFixture fixture(server.Port());
    fixture.ftp.SetTimeOut(0);
    QString result = QStringLiteral("<not run>");
    QElapsedTimer sinceQuit;
    QTimer::singleShot(0, &fixture.ftp, [&] { result = fixture.Run([&] { fixture.ftp.Upload(path, {}); }); });
    QTimer::singleShot(300, &fixture.ftp, [&] {
        sinceQuit.start();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    QVERIFY(sinceQuit.isValid());
    QVERIFY2(sinceQuit.elapsed() < 1000, qPrintable(QString::number(sinceQuit.elapsed())));
    QCOMPARE(result, raised);
    QVERIFY(!fixture.ftp.Connected());
}

QTEST_GUILESS_MAIN(TestFtpUpload)
#include "TestFtpUpload.moc"
