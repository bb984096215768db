#include "recording/ClipUploader.h"
#include "tests/net/ftp/FtpTestServers.h"
#include "tests/support/FileBytes.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestClipUploader : public QObject {
    Q_OBJECT

private slots:
    void uploads_data();
    void uploads();
    void oneAtATimeInOrder();
};

void TestClipUploader::uploads_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("logged");
    QTest::newRow("into a new folder") << u"vantrel"_s << u"clips/"_s << false << true << u"FTP recording saved: "_s;
    QTest::newRow("folder there already") << u"vantrel"_s << u"."_s << false << true << u"FTP recording saved: "_s;
    QTest::newRow("login's own folder") << u"vantrel"_s << QString() << false << true << u"FTP recording saved: "_s;
    QTest::newRow("store refused") << u"refused"_s << QString() << false << false << u"failed ("_s;
    QTest::newRow("nobody listening") << u"vantrel"_s << QString() << true << false << u"failed ("_s;
    QTest::newRow("no server set") << QString() << QString() << false << false << u"no FTP server is set"_s;
}

void TestClipUploader::uploads()
{
    QFETCH(QString, user);
    QFETCH(QString, folder);
    QFETCH(bool, closedPort);
    QFETCH(bool, sent);
    QFETCH(QString, logged);
    PyFtpServer server;
    QTemporaryDir local;
    const QString name = u"2026-12-10 14.03.07 motion.mp4"_s;
    const QString path = local.filePath(name);
    QByteArray clip(300000, '\0');
    for (qsizetype at = 0; at < clip.size(); ++at)
        clip[at] = static_cast<char>(at * 7 % 251 == 10 ? '\n' : at % 253);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(clip) == clip.size());
    file.close();

    quint16 port = server.Port();
    if (closedPort) {
        QTcpServer unused;
        QVERIFY(unused.listen(QHostAddress::LocalHost));
        port = unused.serverPort();
    }
    ClipUploader uploader;
    QSignalSpy lines(&uploader, &ClipUploader::logged);
    QSignalSpy finished(&uploader, &ClipUploader::finished);
    const QString host = user.isEmpty() ? QString() : u"127.0.0.1"_s;
    uploader.Upload(path, {host, port, user, u"secret"_s, false, folder});
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
    QCOMPARE(finished.at(0).at(1).toBool(), sent);
    QCOMPARE(lines.size(), 1);
    const QString line = lines.at(0).at(0).toString();
    QVERIFY2(line.contains(logged) && line.contains(name), qPrintable(line));
    if (!sent)
        QVERIFY2(line.endsWith(u"it is kept in the recordings folder"_s), qPrintable(line));
    const QString remoteFolder = folder.isEmpty() ? server.Folder() : server.Folder() + u'/' + folder;
    QCOMPARE(FileBytes(remoteFolder + u'/' + name) == clip, sent);
    QCOMPARE(FileBytes(path), clip);
    QCOMPARE(uploader.Waiting(), 0);
}

void TestClipUploader::oneAtATimeInOrder()
{
    PyFtpServer server;
    QTemporaryDir local;
    ClipUploader uploader;
    QSignalSpy finished(&uploader, &ClipUploader::finished);
    QStringList paths;
    for (int n = 0; n < 3; ++n) {
        paths << local.filePath(u"clip %1.mp4"_s.arg(n));
        QFile file(paths.last());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000 * (n + 1), char('a' + n)));
        file.close();
        uploader.Upload(paths.last(), {u"127.0.0.1"_s, server.Port(), u"vantrel"_s, u"secret"_s, true, u"in"_s});
    }
    QCOMPARE(uploader.Waiting(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, 90000);
    for (int n = 0; n < 3; ++n) {
        QCOMPARE(finished.at(n).at(0).toString(), paths.at(n));
        QCOMPARE(FileBytes(server.Folder() + u"/in/clip %1.mp4"_s.arg(n)), QByteArray(1000 * (n + 1), char('a' + n)));
    }
}

QTEST_GUILESS_MAIN(TestClipUploader)
#include "TestClipUploader.moc"
