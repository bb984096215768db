// The snapshot run through the program: name, motion gate, local save, auto capture.
#include "capture/JpegImage.h"
#include "tests/snapshot/SnapshotFixture.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderClosedToWriting.h"
#include "tests/support/VantrelTestMain.h"

#include <QFile>
#include <QTimer>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString Stamp = u"12-07-26 14:05:09: "_s;

// The 320 by 240 grey frame with its first `count` sample points brightened by 150.
QImage greyWithChanges(int count)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(qRgb(10, 10, 10));
    for (int i = 0; i < count; ++i)
        image.setPixel(i % 80 * 4, i / 80 * 4, qRgb(60, 60, 60));
    return image;
}

QStringList linesContaining(const QString &part) { return FormMain->LogLines().filter(part); }

} // namespace

class TestSnapshotRun : public QObject {
    Q_OBJECT

private slots:
    void nameAndFolder_data();
    void nameAndFolder();
    void savedBytesAreTheFramesJpegAndReplaceTheFile();
    void localOffWritesNothing();
    void motionGateAndDebugLines();
    void failuresAreReportedAndWriteNothing_data();
    void failuresAreReportedAndWriteNothing();
    void autoCaptureTimerFollowsTheControls();
    void failedGrabStopsAutoCapture();
    void snapshotSettingsButtonStopsAutoCapture();
};

void TestSnapshotRun::nameAndFolder_data()
{
    QTest::addColumn<QString>("manual");
    QTest::addColumn<QString>("folderEnd");
    QTest::addColumn<QString>("expected");
    QTest::newRow("time stamp") << QString() << QString() << u"12-07-26 14.05.09.jpg"_s;
    QTest::newRow("folder ending in /") << QString() << u"/"_s << u"12-07-26 14.05.09.jpg"_s;
    QTest::newRow("trimmed manual name") << u"  door  "_s << QString() << u"door.jpg"_s;
    QTest::newRow("control characters trimmed") << u"\tdoor\r\n"_s << u"/"_s << u"door.jpg"_s;
    QTest::newRow("extension always added") << u"cam.jpg"_s << QString() << u"cam.jpg.jpg"_s;
    QTest::newRow("spaces only") << u"   "_s << QString() << u"12-07-26 14.05.09.jpg"_s;
    QTest::newRow("a / names a subfolder") << u"../snaps/door"_s << QString() << u"door.jpg"_s;
}

void TestSnapshotRun::nameAndFolder()
{
    QFETCH(QString, manual);
    QFETCH(QString, folderEnd);
    QFETCH(QString, expected);
    SnapshotProgram program;
    FormSnapshotSettings->Edit_ManualFilename->setText(manual);
    FormSnapshotSettings->Edit_LocalSaveDir->setText(program.snapFolder() + folderEnd);
    // A folder that this process may write is written, whatever its owner's write bit says.
    ::chmod(QFile::encodeName(program.snapFolder()).constData(), ::geteuid() == 0 ? 0575 : 0755);
    FormMain->Button_Snapshot->click();
    QCOMPARE(program.snapFiles(), QStringList{expected});
    QCOMPARE(FormMain->LogLines().constLast(),
             Stamp + u"Local Snapshot "_s + (manual.contains(u'/') ? manual + u".jpg"_s : expected) + u" saved"_s);
    QVERIFY(program.messages.messages.isEmpty());
}

void TestSnapshotRun::savedBytesAreTheFramesJpegAndReplaceTheFile()
{
    SnapshotProgram program;
    FormSnapshotSettings->Edit_ManualFilename->setText(u"cam"_s);
    const QString path = program.snapFolder() + u"/cam.jpg"_s;
    FormMain->Button_SnapshotClick();
    QCOMPARE(FileBytes(path), FormMain->FrameJpeg->data());

    program.show(greyWithChanges(500));
    FormMain->Button_SnapshotClick();
    QCOMPARE(FileBytes(path), FormMain->FrameJpeg->data());
    QCOMPARE(program.snapFiles(), QStringList{u"cam.jpg"_s});
}

void TestSnapshotRun::localOffWritesNothing()
{
    SnapshotProgram program;
    FormSnapshotSettings->CheckBox_Local->setChecked(false);
    FormMain->Button_SnapshotClick();
    QVERIFY(program.snapFiles().isEmpty());
    QVERIFY(linesContaining(u"Local Snapshot"_s).isEmpty());
}

void TestSnapshotRun::motionGateAndDebugLines()
{
    SnapshotProgram program;
    FormSnapshotSettings->CheckBox_MotionDetection->setChecked(true);
    FormSnapshotSettings->CheckBox_DebugMotionDetection->setChecked(true);
    const auto runWith = [&](const QImage &image) {
        program.show(image);
        FormMain->Button_SnapshotClick();
    };

    runWith(greyWithChanges(0)); // first comparison: nothing kept yet to compare with
    QVERIFY(linesContaining(u"Motion Detection"_s).isEmpty());
    runWith(greyWithChanges(149));
    runWith(greyWithChanges(0));
    QVERIFY(program.snapFiles().isEmpty());
    runWith(greyWithChanges(150));
    QCOMPARE(program.snapFiles().size(), 1);
    QCOMPARE(linesContaining(u"Motion Detection"_s),
             (QStringList{Stamp + u"Motion Detection found 149 unmatched areas"_s,
                          Stamp + u"Motion Detection found 149 unmatched areas"_s,
                          Stamp + u"Motion Detection found 150 unmatched areas"_s}));

    // While motion detection is off the kept frame stays; P=100 lets everything through.
    FormSnapshotSettings->CheckBox_MotionDetection->setChecked(false);
    runWith(greyWithChanges(0));
    FormSnapshotSettings->CheckBox_MotionDetection->setChecked(true);
    FormSnapshotSettings->ScrollBar_MotionDetectionSensitivity->setValue(100);
    FormSnapshotSettings->Edit_ManualFilename->setText(u"p100"_s);
    runWith(greyWithChanges(0));
    QCOMPARE(linesContaining(u"Motion Detection"_s).constLast(),
             Stamp + u"Motion Detection found 4800 unmatched areas"_s);
    QVERIFY(program.snapFiles().contains(u"p100.jpg"_s));
}

void TestSnapshotRun::failuresAreReportedAndWriteNothing_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("manual");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty folder") << QString() << QString() << false << u"no folder is set"_s;
    QTest::newRow("missing folder") << u"missing"_s << QString() << false << u"the folder does not exist"_s;
    QTest::newRow("read-only folder") << u"snaps"_s << QString() << true << u"the folder is read-only"_s;
    QTest::newRow("name in a missing subfolder") << u"snaps"_s << u"gone/door"_s << false << u"does not exist"_s;
}

void TestSnapshotRun::failuresAreReportedAndWriteNothing()
{
    QFETCH(QString, folder);
    QFETCH(QString, manual);
    QFETCH(bool, readOnly);
    QFETCH(QString, reason);
    SnapshotProgram program;
    const QString folderPath = folder.isEmpty() ? QString() : program.dir.filePath(folder);
    FormSnapshotSettings->Edit_LocalSaveDir->setText(folderPath);
    FormSnapshotSettings->Edit_ManualFilename->setText(manual);
    std::optional<FolderClosedToWriting> closed;
    if (readOnly)
        closed.emplace(folderPath, folderPath);
    FormMain->AutoCapture->setChecked(true);

    FormMain->Button_Snapshot->click();
    closed.reset();
    QCOMPARE(program.messages.messages.size(), 1);
    const QString text = program.messages.messages.constFirst().text;
    QVERIFY2(text.startsWith(u"Cannot save snapshot: "_s) && text.contains(reason), qPrintable(text));
    QVERIFY(program.snapFiles().isEmpty());
    QVERIFY(QDir(program.dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(linesContaining(u"Local Snapshot"_s).isEmpty());
    // A failing folder stops auto capture, so it does not fail again on every tick.
    QVERIFY(!FormMain->AutoCapture->isChecked());
    QVERIFY(!FormMain->TimerAuto->isActive());
}

void TestSnapshotRun::autoCaptureTimerFollowsTheControls()
{
    SnapshotProgram program;
    FormMain->AutoTime->setValue(3);
    QVERIFY(!FormMain->TimerAuto->isActive());
    FormMain->AutoCapture->setChecked(true);
    QVERIFY(FormMain->TimerAuto->isActive());
    QCOMPARE(FormMain->TimerAuto->interval(), 3000);

    QTest::qWait(150);
    FormMain->AutoTimeChange(); // the same interval keeps the countdown going
    QVERIFY(FormMain->TimerAuto->remainingTime() <= 2850);
    FormMain->AutoTime->setValue(5); // a new interval starts it again
    QCOMPARE(FormMain->TimerAuto->interval(), 5000);
    QVERIFY(FormMain->TimerAuto->remainingTime() > 4900);

    FormMain->AutoTime->setValue(1);
    QTRY_COMPARE_WITH_TIMEOUT(program.snapFiles(), QStringList{u"12-07-26 14.05.09.jpg"_s}, 3000);
    QVERIFY(FormMain->Button_Snapshot->isEnabled());
    FormMain->AutoCapture->setChecked(false);
    QVERIFY(!FormMain->TimerAuto->isActive());
}

void TestSnapshotRun::failedGrabStopsAutoCapture()
{
    SnapshotProgram program;
    FormMain->AutoCapture->setChecked(true);
    program.capture->frame = CapturedFrame{};
    FormMain->TimerAuto->setInterval(1);
    // The tick's run goes on after the grab's error box; without any picture it saves nothing.
    QTRY_VERIFY(!FormMain->AutoCapture->isChecked());
    QVERIFY(!FormMain->TimerAuto->isActive());
    QVERIFY(FormMain->Button_Snapshot->isEnabled());
    QCOMPARE(program.messages.texts().size(), 2);
    QVERIFY(program.messages.texts().constLast().endsWith(u"no picture has been captured yet"_s));
    QVERIFY(program.snapFiles().isEmpty());
}

void TestSnapshotRun::snapshotSettingsButtonStopsAutoCapture()
{
    SnapshotProgram program;
    FormMain->AutoCapture->setChecked(true);
    FormMain->Button_SnapshotOptions->click();
    QVERIFY(FormSnapshotSettings->isVisible());
    QVERIFY(!FormMain->isEnabled());
    QVERIFY(!FormMain->AutoCapture->isChecked());
    QVERIFY(!FormMain->TimerAuto->isActive());
    FormSnapshotSettings->Button1->click();
    QVERIFY(!FormSnapshotSettings->isVisible());
    QVERIFY(FormMain->isEnabled());
    QVERIFY(!FormMain->TimerAuto->isActive());
}

VANTREL_TEST_MAIN(TestSnapshotRun)
#include "TestSnapshotRun.moc"
