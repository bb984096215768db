// The real program left running with auto capture, local save and FTP upload on: what lands
// in the local folder lands on the FTP server too, byte for byte.
#include "tests/net/ftp/FtpTestServers.h"
#include "tests/support/BlackBox.h"
#include "tests/support/FileBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QList<QByteArray> sortedContents(const QString &folder)
{
    QList<QByteArray> contents;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files))
        contents << FileBytes(dir.filePath(name));
    std::sort(contents.begin(), contents.end());
    return contents;
}

// Auto capture every `seconds`, local save into `folder` and upload to 127.0.0.1:port on.
QByteArray autoCaptureSettings(int seconds, const QString &folder, quint16 port,
                               const QByteArray &account = "FTPUsername=vantrel\n")
{
    return "[FormMain]\nAutoTime=" + QByteArray::number(seconds) +
           "\nAutoCapture=1\n[FormSnapshotSettings]\nLocalSaveDir=" + folder.toUtf8() +
           "\nLocal=1\nFTP=1\nMotionDetection=0\nFTPRemoteAddress=127.0.0.1\nFTPRemotePort=" +
           QByteArray::number(port) + "\nFTPRemoteDir=/\nFTPPassword=secret\n" + account;
}

} // namespace

class TestSnapshotEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void autoCaptureFillsBothFoldersAlike_data();
    void autoCaptureFillsBothFoldersAlike();
    void heldReplyNeitherThinsSnapshotsNorHoldsTheQuit_data();
    void heldReplyNeitherThinsSnapshotsNorHoldsTheQuit();
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
    BlackBoxVantrel program(autoCaptureSettings(1, local.path(), ftp.Port(), account));
    QVERIFY2(program.start(), qPrintable(program.standardError()));

    // Three snapshots a second apart; the folders are read right after the third upload,
    // before the fourth snapshot is due.
    const bool threeUploaded =
        QTest::qWaitFor([&] { return program.logLines().filter(u"FTP Snapshot saved"_s).size() >= 3; }, 30000);
    const QList<QByteArray> saved = sortedContents(local.path());
    // The server may answer the upload a moment before its file shows in the folder.
    static_cast<void>(QTest::qWaitFor([&] { return sortedContents(ftp.Folder()).size() >= saved.size(); }, 5000));
    const QList<QByteArray> uploaded = sortedContents(ftp.Folder());
    program.stop();

    QVERIFY2(threeUploaded, qPrintable(program.logLines().join(u'\n')));
    QCOMPARE(saved.size(), 3);
    QCOMPARE(uploaded, saved);
    QVERIFY(std::adjacent_find(saved.begin(), saved.end()) == saved.end()); // the pattern moved
    for (const QByteArray &jpeg : saved)
        QVERIFY(jpeg.startsWith("\xff\xd8") && jpeg.endsWith("\xff\xd9"));
}

void TestSnapshotEndToEnd::heldReplyNeitherThinsSnapshotsNorHoldsTheQuit_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::newRow("PASS") << QByteArray("PASS");
    QTest::newRow("TYPE") << QByteArray("TYPE");
}

// A server that never answers the verb: the ticks go on saving locally every second, and the
// program still ends at once when asked to.
void TestSnapshotEndToEnd::heldReplyNeitherThinsSnapshotsNorHoldsTheQuit()
{
    QFETCH(QByteArray, verb);
    ScriptedFtpServer ftp(FreeServerPort());
    QVERIFY(ftp.Port() != 0);
    ftp.Replies["USER"] = "331 Password please.\r\n";
    ftp.Replies["PASS"] = "230 In.\r\n";
    ftp.Replies[verb] = QByteArray();
    QTemporaryDir local;
    BlackBoxVantrel program(autoCaptureSettings(1, local.path(), ftp.Port()));
    QVERIFY2(program.start(), qPrintable(program.standardError()));
    QTRY_VERIFY_WITH_TIMEOUT(ftp.dialogue.contains(verb), 20000);
    // Held from the first tick on; two more ticks must still save.
    QTRY_VERIFY_WITH_TIMEOUT(program.logLines().filter(u"Local Snapshot"_s).size() >= 3, 4000);

    QElapsedTimer quitting;
    quitting.start();
    program.process().terminate();
    QVERIFY(program.process().waitForFinished(5000));
    const qint64 quitMs = quitting.elapsed();
    QVERIFY2(quitMs < 1000, qPrintable(QString::number(quitMs)));
    QVERIFY(program.logLines().filter(u"FTP Snapshot saved"_s).isEmpty());
}

QTEST_GUILESS_MAIN(TestSnapshotEndToEnd)
#include "TestSnapshotEndToEnd.moc"
