// The snapshot's FTP upload through the program: real pyftpdlib for stored and refused
// uploads, a scripted server for the exact dialogue and for a reset in mid-transfer.
#include "tests/net/ftp/FtpTestServers.h"
#include "tests/snapshot/SnapshotFixture.h"
#include "tests/support/BlackBox.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderClosedToWriting.h"
#include "tests/support/UnknownHosts.h"
#include "tests/support/VantrelTestMain.h"

#include <QRandomGenerator>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString Stamp = u"12-07-26 14:05:09: "_s;
const QString NoConnection = u"FTP Connection Failed. Check FTP settings or network"_s;
const QString AttemptFailed = u"FTP: Failed connection attemp"_s;
const QString NoReply = u"Connection closed before the server replied"_s;
const QString Reset = u"10054:Connection reset by peer"_s;
const QString TimedOut = u"Socket readln aborted: the server did not answer within 0.5 s"_s;

// The snapshot program with local save and FTP upload on, sending to 127.0.0.1:port.
struct UploadingProgram : SnapshotProgram {
    UploadingProgram(quint16 port, const QString &user = u"vantrel"_s)
    {
        TFormSnapshotSettings &settings = *FormSnapshotSettings;
        settings.CheckBox_FTP->setChecked(true);
        settings.Edit_FTPRemoteAddress->setText(u"127.0.0.1"_s);
        // The test servers listen where the system puts them, often above the box's 9999.
        settings.SpinEdit_FTPRemotePort->setMaximum(65535);
        settings.SpinEdit_FTPRemotePort->setValue(port);
        settings.Edit_FTPUsername->setText(user);
        settings.Edit_FTPPassword->setText(u"secret"_s);
        settings.Edit_FTPRemoteDir->setText(u"/"_s);
    }

    // The log lines the last snapshot wrote after its local save, without time stamps.
    QStringList linesAfterLocalSave() const
    {
        QStringList lines = FormMain->LogLines();
        const qsizetype saved = lines.lastIndexOf(QRegularExpression(u".*: Local Snapshot .* saved"_s));
        lines = lines.mid(saved + 1);
        for (QString &line : lines)
            line.remove(0, Stamp.size());
        return lines;
    }
};

QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(8282);
    for (int y = 0; y < height; ++y)
        random.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), width);
    return image;
}

ScriptedFtpServer *loggingInServer(ScriptedFtpServer &server)
{
    server.Replies["USER"] = "331 Password please.\r\n";
    server.Replies["PASS"] = "230 Logged in.\r\n";
    server.Replies["QUIT"] = "221 Bye.\r\n";
    return &server;
}

} // namespace

class TestSnapshotUpload : public QObject {
    Q_OBJECT

private slots:
    void everySnapshotArrivesIntactWhileAutoCaptureRuns();
    void dialogueAndRemotePath_data();
    void dialogueAndRemotePath();
    void failedUploadsAreLoggedAndStopAutoCapture_data();
    void failedUploadsAreLoggedAndStopAutoCapture();
    void missingRemoteFolderIsReportedBeforeAnyUpload();
    void brokenControlConnectionIsReportedOnce_data();
    void brokenControlConnectionIsReportedOnce();
    void nothingToUploadIsRefused();
    void uploadIsTheSnapshotTaken();
    void tickDuringHostLookup();
    void workingCopyIsRewrittenInAClosedFolder();
};

void TestSnapshotUpload::everySnapshotArrivesIntactWhileAutoCaptureRuns()
{
    PyFtpServer server;
    QVERIFY(server.Port() != 0);
    UploadingProgram program(server.Port());
    FormMain->AutoCapture->setChecked(true);
    for (int shot = 0; shot < 3; ++shot) {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(qRgb(40 * shot, 90, 200 - 50 * shot));
        program.show(picture);
        FormMain->Button_Snapshot->click();
        program.clock.advanceSeconds(1);
    }

    QCOMPARE(FormMain->LogLines().filter(u"FTP Snapshot saved"_s).size(), 3);
    QVERIFY(FormMain->AutoCapture->isChecked());
    const QStringList names = program.snapFiles();
    QCOMPARE(names.size(), 3);
    for (const QString &name : names) {
        const QByteArray local = FileBytes(program.snapFolder() + u'/' + name);
        QVERIFY(local.startsWith("\xff\xd8"));
        QCOMPARE(FileBytes(server.Folder() + u'/' + name), local);
    }
}

void TestSnapshotUpload::dialogueAndRemotePath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("manual");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("time stamp at login") << u"/pub/cams/"_s << QString()
                                         << QByteArray("/pub/cams/12-07-26 14.05.09.jpg");
    QTest::newRow("slash appended") << u"/pub/cams"_s << u"cam"_s << QByteArray("/pub/cams/cam.jpg");
    QTest::newRow("backslash replaced") << u"pub\\"_s << u"cam"_s << QByteArray("pub/cam.jpg");
    QTest::newRow("manual name as typed") << u"/"_s << u"   "_s << QByteArray("/   .jpg");
}

void TestSnapshotUpload::dialogueAndRemotePath()
{
    QFETCH(QString, folder);
    QFETCH(QString, manual);
    QFETCH(QByteArray, stored);
    ScriptedFtpServer server;
    UploadingProgram program(loggingInServer(server)->Port());
    FormSnapshotSettings->Edit_FTPRemoteDir->setText(folder);
    FormSnapshotSettings->Edit_ManualFilename->setText(manual);
    FormMain->Button_Snapshot->click();

    QCOMPARE(program.linesAfterLocalSave(), QStringList{u"FTP Snapshot saved"_s});
    const QByteArray port = QByteArray::number(server.dataPort / 256) + ',' + QByteArray::number(server.dataPort % 256);
    QCOMPARE(server.dialogue, "USER vantrel\r\nPASS secret\r\nTYPE L 8\r\nPORT 127,0,0,1," + port + "\r\nSTOR " +
                                  stored + "\r\nQUIT\r\n");
    const QStringList local = program.snapFiles();
    QCOMPARE(local.size(), 1);
    QCOMPARE(server.received, FileBytes(program.snapFolder() + u'/' + local.constFirst()));
}

void TestSnapshotUpload::failedUploadsAreLoggedAndStopAutoCapture_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("account");
    QTest::addColumn<bool>("scriptedReset");
    QTest::addColumn<QStringList>("expected");
    // A server's reply keeps its line end in the log, so it ends with an empty line.

    QTest::newRow("host does not resolve")
        << u"no-such-host.invalid"_s << u"vantrel"_s << false
        << QStringList{u"FTP Invalid Host, Check settings"_s, AttemptFailed + u"Null Remote Address"_s};
    QTest::newRow("nobody listening") << u"closed port"_s << u"vantrel"_s << false
                                      << QStringList{NoConnection, AttemptFailed + u"Connection Failed"_s};
    QTest::newRow("wrong password") << u"127.0.0.1"_s << u"stranger"_s << false
                                    << QStringList{NoConnection, AttemptFailed + u"530 Authentication failed."_s,
                                                   QString()};
    QTest::newRow("STOR refused") << u"127.0.0.1"_s << u"refused"_s << false
                                  << QStringList{u"FTP Failure!"_s, u"FTP Failure!"_s,
                                                 u"Failed on upload 553 Could not create file."_s, QString()};
    QTest::newRow("reset in mid-transfer")
        << u"127.0.0.1"_s << u"vantrel"_s << true
        << QStringList{u"FTP Error (10054:Connection reset by peer)"_s, u"FTP Failure!"_s,
                       u"Failed on upload 10054:Connection reset by peer"_s};
}

void TestSnapshotUpload::failedUploadsAreLoggedAndStopAutoCapture()
{
    QFETCH(QString, host);
    QFETCH(QString, account);
    QFETCH(bool, scriptedReset);
    QFETCH(QStringList, expected);
    UnknownHosts unknownHosts;
    PyFtpServer pyftpdlib;
    ScriptedFtpServer scripted;
    loggingInServer(scripted)->Data = ScriptedFtpServer::DataMode::ResetOnFirstData;
    const quint16 port = host == u"closed port"_s ? FreeLocalPort()
                         : scriptedReset          ? scripted.Port()
                                                  : pyftpdlib.Port();
    UploadingProgram program(port, account);
    FormSnapshotSettings->Edit_FTPRemoteAddress->setText(host == u"closed port"_s ? u"127.0.0.1"_s : host);
    if (scriptedReset) {
        // A snapshot far larger than the socket buffers, so the reset meets the client while it sends.
        FormMain->JPEGQuality->setValue(100);
        program.show(noise(2560, 1920));
    }
    FormMain->AutoCapture->setChecked(true);
    FormMain->Button_Snapshot->click();

    QCOMPARE(program.linesAfterLocalSave(), expected);
    QVERIFY(!FormMain->AutoCapture->isChecked());
    QCOMPARE(program.snapFiles().size(), 1); // the local snapshot stays
    QVERIFY(QDir(pyftpdlib.Folder()).isEmpty());
}

void TestSnapshotUpload::missingRemoteFolderIsReportedBeforeAnyUpload()
{
    ScriptedFtpServer server;
    UploadingProgram program(loggingInServer(server)->Port());
    FormSnapshotSettings->Edit_FTPRemoteDir->clear();
    FormMain->AutoCapture->setChecked(true);
    FormMain->Button_Snapshot->click();
    QVERIFY(!FormMain->AutoCapture->isChecked());

    const QStringList lines = program.linesAfterLocalSave();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.constFirst().startsWith(AttemptFailed + u"No remote folder"_s), qPrintable(lines.constFirst()));
    QTRY_VERIFY(server.dialogue.endsWith("PASS secret\r\nQUIT\r\n"));
    QVERIFY(!server.dialogue.contains("STOR"));
}

void TestSnapshotUpload::brokenControlConnectionIsReportedOnce_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("expected");
    const QByteArray close = ScriptedFtpServer::Close;
    const QByteArray reset = ScriptedFtpServer::Reset;
    const QString failure = u"FTP Failure!"_s;
    QTest::newRow("reset at PASS") << QByteArray("PASS") << reset
                                   << QStringList{u"FTP Error (%1)"_s.arg(Reset), AttemptFailed + Reset};
    QTest::newRow("reset at STOR") << QByteArray("STOR") << reset
                                   << QStringList{u"FTP Error (%1)"_s.arg(Reset), failure,
                                                  u"Failed on upload "_s + Reset};
    QTest::newRow("closed at USER") << QByteArray("USER") << close
                                    << QStringList{NoConnection, AttemptFailed + NoReply};
    QTest::newRow("closed at PASS") << QByteArray("PASS") << close
                                    << QStringList{NoConnection, AttemptFailed + NoReply};
    QTest::newRow("time-out at PASS") << QByteArray("PASS") << QByteArray()
                                      << QStringList{NoConnection, AttemptFailed + TimedOut};
    QTest::newRow("time-out at STOR") << QByteArray("STOR") << QByteArray()
                                      << QStringList{failure, u"Failed on upload "_s + TimedOut};
    QTest::newRow("time-out at TYPE") << QByteArray("TYPE") << QByteArray()
                                      << QStringList{failure, u"Failed on upload "_s + TimedOut};
    QTest::newRow("331- lines without end")
        << QByteArray("USER") << QByteArray("331-More to come\r\n").repeated(5000)
        << QStringList{NoConnection,
                       AttemptFailed + u"Socket readln aborted: the server's reply ran past 1000 lines"_s};
    // The wait for the data connection took the time the QUIT would have had.
    QTest::newRow("data connection never opened")
        << QByteArray("STOR") << QByteArray("150 Opening.\r\n")
        << QStringList{failure, u"Failed on upload Accepting Canceled: the server did not connect within 0.5 s"_s};
}

// One report per failure, auto capture off, and no QUIT into a connection that is gone
// or silent (which would fail, or wait, a second time).
void TestSnapshotUpload::brokenControlConnectionIsReportedOnce()
{
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, expected);
    ScriptedFtpServer server;
    loggingInServer(server)->Replies[verb] = reply;
    UploadingProgram program(server.Port());
    FormMain->NMFTP->SetTimeOut(500);
    FormMain->AutoCapture->setChecked(true);
    FormMain->Button_Snapshot->click();

    QCOMPARE(program.linesAfterLocalSave(), expected);
    QVERIFY(!FormMain->AutoCapture->isChecked());
    QCOMPARE(program.snapFiles().size(), 1);
    QTRY_COMPARE(server.closedConnections, 1);
    QVERIFY2(!server.dialogue.contains("QUIT"), server.dialogue.constData());
}

void TestSnapshotUpload::nothingToUploadIsRefused()
{
    ScriptedFtpServer server;
    UploadingProgram program(loggingInServer(server)->Port());
    FormSnapshotSettings->CheckBox_Local->setChecked(false);
    program.capture->frame = CapturedFrame{};
    FormMain->Button_Snapshot->click();

    QVERIFY2(program.messages.texts().constLast().endsWith(u"no picture has been captured yet"_s),
             qPrintable(program.messages.texts().join(u'\n')));
    QVERIFY(FormMain->LogLines().filter(u"FTP"_s).isEmpty());
    QTest::qWait(100);
    QCOMPARE(server.connections, 0);
}

// A snapshot run during the login takes a new picture and finds the settings changed; the
// upload is still this run's, in this run's mode.
void TestSnapshotUpload::uploadIsTheSnapshotTaken()
{
    ScriptedFtpServer server;
    loggingInServer(server)->Replies["PASS"] = QByteArray();
    UploadingProgram program(server.Port());
    QTimer whilePassIsHeld;
    QObject::connect(&whilePassIsHeld, &QTimer::timeout, FormMain, [&] {
        if (!server.dialogue.contains("PASS"))
            return;
        whilePassIsHeld.stop();
        program.show(noise(64, 48));
        program.clock.advanceSeconds(1);
        FormSnapshotSettings->CheckBox_FTPPassive->setChecked(true);
        FormMain->Button_SnapshotClick();
        server.Answer("230 Logged in.\r\n");
    });
    whilePassIsHeld.start(5);
    FormMain->Button_Snapshot->click();

    QCOMPARE(program.linesAfterLocalSave(), QStringList{u"FTP Snapshot saved"_s});
    QCOMPARE(server.received, FileBytes(program.snapFolder() + u'/' + program.snapFiles().value(0)));
}

// A tick while the button's run waits for the server's name: the busy session refuses the
// tick's upload, and the first run goes on.
void TestSnapshotUpload::tickDuringHostLookup()
{
    ScriptedFtpServer server;
    UploadingProgram program(loggingInServer(server)->Port());
    FormSnapshotSettings->Edit_FTPRemoteAddress->setText(u"localhost"_s);
    FormMain->AutoCapture->setChecked(true);
    QTimer::singleShot(0, FormMain, [] { FormMain->TimerAutoTimer(); });
    FormMain->Button_Snapshot->click();

    const QString busy = u"10037:Operation already in progress"_s;
    QCOMPARE(program.linesAfterLocalSave(),
             (QStringList{u"FTP Error (%1)"_s.arg(busy), AttemptFailed + busy, u"FTP Snapshot saved"_s}));
    QCOMPARE(server.connections, 1);
}

// The program's folder takes no new file, but the working copy already there is rewritten.
void TestSnapshotUpload::workingCopyIsRewrittenInAClosedFolder()
{
    if (::geteuid() != 0)
        QSKIP("Closing the suites' shared folder to an ordinary user would disturb the suites beside this one.");
    ScriptedFtpServer server;
    UploadingProgram program(loggingInServer(server)->Port());
    FormSnapshotSettings->CheckBox_Local->setChecked(false);
    FormMain->Button_Snapshot->click();
    {
        const FolderClosedToWriting closed(QCoreApplication::applicationDirPath(), TFormMain::FtpUploadFile());
        program.show(noise(64, 48));
        FormMain->Button_Snapshot->click();
    }
    QCOMPARE(FormMain->LogLines().filter(u"FTP Snapshot saved"_s).size(), 2);
    QVERIFY(server.received.endsWith(FileBytes(TFormMain::FtpUploadFile())));
}

VANTREL_TEST_MAIN(TestSnapshotUpload)
#include "TestSnapshotUpload.moc"
