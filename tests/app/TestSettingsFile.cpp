// The settings file as a whole: every window's keys in their order, and a run restored from
// the file the run before it saved.
#include "publish/TFormPublish.h"
#include "snapshot/TFormSnapshotSettings.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QScrollBar>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace {

// "[Section]" lines and key names, in file order.
QStringList sectionsAndKeys(const QByteArray &file)
{
    QStringList names;
    for (const QByteArray &line : file.split('\n')) {
        if (!line.isEmpty())
            names << QString::fromUtf8(line.startsWith('[') ? line : line.left(line.indexOf('=')));
    }
    return names;
}

// Every value of the file different from its default, positions and sizes included.
struct SavedValues {
    int port = 4321;
    QPoint mainPosition{40, 30};
    QRect chartGeometry{60, 70, 700, 250};
    QPoint bandwidthPosition{80, 90};
    QPoint addressesPosition{100, 110};
};

void setEveryControl(const SavedValues &values, const QString &snapFolder)
{
    FormMain->SpinEdit->setValue(values.port);
    FormMain->JPEGQuality->setValue(33);
    FormMain->AutoTime->setValue(77);
    FormMain->CheckBox->setChecked(true);
    FormMain->AutoCapture->setChecked(true);
    FormMain->move(values.mainPosition);
    TFormSnapshotSettings &snapshot = *FormSnapshotSettings;
    snapshot.Edit_LocalSaveDir->setText(snapFolder);
    snapshot.Edit_ManualFilename->setText(u"door"_s);
    snapshot.CheckBox_FTP->setChecked(true);
    snapshot.CheckBox_Local->setChecked(false);
    snapshot.Edit_FTPRemoteAddress->setText(u"ftp.example.org"_s);
    snapshot.Edit_FTPRemoteDir->setText(u"/cams"_s);
    snapshot.SpinEdit_FTPRemotePort->setValue(2121);
    snapshot.Edit_FTPUsername->setText(u"me"_s);
    snapshot.Edit_FTPPassword->setText(u"pass word"_s);
    snapshot.CheckBox_MotionDetection->setChecked(true);
    snapshot.ScrollBar_MotionDetectionSensitivity->setValue(80);
    FormPublish->Edit_Handle->setText(u"cam1"_s);
    FormPublish->Edit_Description->setText(u"My street"_s);
    FormChart->SpinEditChartUpdate->setValue(45);
    FormChart->move(values.chartGeometry.topLeft());
    FormChart->resize(values.chartGeometry.size());
    FormBandwidth->move(values.bandwidthPosition);
    FormRequestedIPs->move(values.addressesPosition);
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void saveWritesEveryKeyInOrder();
    void publishKeysLoadWithTheirDefaults_data();
    void publishKeysLoadWithTheirDefaults();
    void nextRunRestoresEverySavedValue();
};

void TestSettingsFile::saveWritesEveryKeyInOrder()
{
    ProgramFixture program;
    program.start();
    FormMain->SaveSettings();
    QCOMPARE(sectionsAndKeys(program.readSettings()), (QStringList{u"[FormMain]"_s,
                                                                   u"Port"_s,
                                                                   u"JPEGQuality"_s,
                                                                   u"AutoTime"_s,
                                                                   u"Top"_s,
                                                                   u"Left"_s,
                                                                   u"Enabled"_s,
                                                                   u"AutoCapture"_s,
                                                                   u"[FormSnapshotSettings]"_s,
                                                                   u"LocalSaveDir"_s,
                                                                   u"Filename"_s,
                                                                   u"FTP"_s,
                                                                   u"LOCAL"_s,
                                                                   u"FTPRemoteAddress"_s,
                                                                   u"FTPRemoteDir"_s,
                                                                   u"FTPRemotePort"_s,
                                                                   u"FTPUsername"_s,
                                                                   u"FTPPassword"_s,
                                                                   u"MotionDetection"_s,
                                                                   u"MotionDetectionSensitivity"_s,
                                                                   u"FTPPassive"_s,
                                                                   u"[FormPublish]"_s,
                                                                   u"Handle"_s,
                                                                   u"Description"_s,
                                                                   u"[FormChart]"_s,
                                                                   u"ChartUpdate"_s,
                                                                   u"Top"_s,
                                                                   u"Left"_s,
                                                                   u"Height"_s,
                                                                   u"Width"_s,
                                                                   u"[FormBandwidth]"_s,
                                                                   u"Top"_s,
                                                                   u"Left"_s,
                                                                   u"[FormRequestedIPs]"_s,
                                                                   u"Top"_s,
                                                                   u"Left"_s}));
    QVERIFY(program.readSettings().contains("[FormPublish]\nHandle=\nDescription=No Description\n"));
}

void TestSettingsFile::publishKeysLoadWithTheirDefaults_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("handle");
    QTest::addColumn<QString>("description");
    QTest::newRow("no file") << QByteArray() << QString() << u"No Description"_s;
    QTest::newRow("both keys") << QByteArray("[FormPublish]\nHandle=cam 7\nDescription=50% off!\n") << u"cam 7"_s
                               << u"50% off!"_s;
    QTest::newRow("empty description stays empty")
        << QByteArray("[formpublish]\ndescription=\n") << QString() << QString();
}

void TestSettingsFile::publishKeysLoadWithTheirDefaults()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, handle);
    QFETCH(QString, description);
    ProgramFixture program(content);
    program.start();
    QCOMPARE(FormPublish->Edit_Handle->text(), handle);
    QCOMPARE(FormPublish->Edit_Description->text(), description);
}

void TestSettingsFile::nextRunRestoresEverySavedValue()
{
    const SavedValues values;
    QByteArray saved;
    QString snapFolder;
    {
        ProgramFixture first;
        first.start();
        snapFolder = first.dir.path();
        setEveryControl(values, snapFolder);
        QTRY_COMPARE(FormMain->pos(), values.mainPosition);
        FormMain->SaveSettings();
        saved = first.readSettings();
    }

    ProgramFixture next(saved);
    next.start();
    QCOMPARE(FormMain->SpinEdit->value(), values.port);
    QVERIFY(FormMain->CheckBox->isChecked()); // the server runs again, on the saved port
    QVERIFY(FormMain->Url->currentText().endsWith(u":%1/"_s.arg(values.port)));
    QCOMPARE(FormMain->JPEGQuality->value(), 33);
    QCOMPARE(FormMain->AutoTime->value(), 77);
    QVERIFY(FormMain->AutoCapture->isChecked());
    QTRY_COMPARE(FormMain->pos(), values.mainPosition);
    const TFormSnapshotSettings &snapshot = *FormSnapshotSettings;
    QCOMPARE(snapshot.Edit_LocalSaveDir->text(), snapFolder);
    QCOMPARE(snapshot.Edit_ManualFilename->text(), u"door"_s);
    QVERIFY(snapshot.CheckBox_FTP->isChecked());
    QVERIFY(!snapshot.CheckBox_Local->isChecked());
    QCOMPARE(snapshot.Edit_FTPRemoteAddress->text(), u"ftp.example.org"_s);
    QCOMPARE(snapshot.Edit_FTPRemoteDir->text(), u"/cams"_s);
    QCOMPARE(snapshot.SpinEdit_FTPRemotePort->value(), 2121);
    QCOMPARE(snapshot.Edit_FTPUsername->text(), u"me"_s);
    QCOMPARE(snapshot.Edit_FTPPassword->text(), u"pass word"_s);
    QVERIFY(snapshot.CheckBox_MotionDetection->isChecked());
    QCOMPARE(snapshot.ScrollBar_MotionDetectionSensitivity->value(), 80);
    QCOMPARE(FormPublish->Edit_Handle->text(), u"cam1"_s);
    QCOMPARE(FormPublish->Edit_Description->text(), u"My street"_s);
    QCOMPARE(FormChart->SpinEditChartUpdate->value(), 45);
    QCOMPARE(FormChart->pos(), values.chartGeometry.topLeft());
    QCOMPARE(FormChart->size(), values.chartGeometry.size());
    QCOMPARE(FormBandwidth->pos(), values.bandwidthPosition);
    QCOMPARE(FormRequestedIPs->pos(), values.addressesPosition);
    // Saving again changes nothing.
    FormMain->SaveSettings();
    QCOMPARE(next.readSettings(), saved);
}

VANTREL_TEST_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
