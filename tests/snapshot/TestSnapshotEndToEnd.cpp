// The real program left running with auto capture, local save and FTP upload on: what lands
// in the local folder lands on the FTP server too, byte for byte.
#include "tests/net/ftp/FtpTestServers.h"
#include "tests/support/BlackBox.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QList<QByteArray> sortedContents(const QString &folder)
{
    QList<QByteArray> contents;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(name));
        contents << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

} // namespace

class TestSnapshotEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void autoCaptureFillsBothFoldersAlike_data();
    void autoCaptureFillsBothFoldersAlike();
};

void TestSnapshotEndToEnd::autoCaptureFillsBothFoldersAlike_data()
{
    QTest::addColumn<QByteArray>("account");
    QTest::newRow("active") << QByteArray("FTPUsername=vantrel\n");
    // This account's server refuses PORT and EPSV: only PASV gets the files there.
    QTest::newRow("passive") << QByteArray("FTPUsername=pasv\nFTPPassive=1\n");
}

void TestSnapshotEndToEnd::autoCaptureFillsBothFoldersAlike()
{
    QFETCH(QByteArray, account);
    PyFtpServer ftp(FreeServerPort()); // the port box stops at 9999
    QVERIFY(ftp.Port() != 0);
    QTemporaryDir local;
    BlackBoxVantrel program("[FormMain]\nAutoTime=2\nAutoCapture=1\n"
                            "[FormSnapshotSettings]\nLocalSaveDir=" + local.path().toUtf8() +
                            "\nLocal=1\nFTP=1\nMotionDetection=0\nFTPRemoteAddress=127.0.0.1\nFTPRemotePort=" +
                            QByteArray::number(ftp.Port()) + "\nFTPRemoteDir=/\nFTPPassword=secret\n" + account);
    QVERIFY2(program.start(), qPrintable(program.standardError()));

    // Five snapshots every 2 s; the folders are read right after the fifth upload, well
    // before the sixth snapshot is due.
    QDeadlineTimer deadline(30000);
    while (program.logLines().filter(u"FTP Snapshot saved"_s).size() < 5 && !deadline.hasExpired())
        program.process().waitForReadyRead(50);
    const QList<QByteArray> saved = sortedContents(local.path());
    const QList<QByteArray> uploaded = sortedContents(ftp.Folder());
    program.stop();

    QVERIFY2(!deadline.hasExpired(), qPrintable(program.logLines().join(u'\n')));
    QCOMPARE(saved.size(), 5);
    QCOMPARE(uploaded, saved);
    QVERIFY(std::adjacent_find(saved.begin(), saved.end()) == saved.end()); // the pattern moved
    for (const QByteArray &jpeg : saved)
        QVERIFY(jpeg.startsWith("\xff\xd8") && jpeg.endsWith("\xff\xd9"));
}

QTEST_GUILESS_MAIN(TestSnapshotEndToEnd)
#include "TestSnapshotEndToEnd.moc"
