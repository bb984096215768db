// The snapshot settings window and its keys in the settings file.
#include "tests/snapshot/SnapshotFixture.h"
#include "tests/support/VantrelTestMain.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

TFormSnapshotSettings &window() { return *FormSnapshotSettings; }

void fillFtp(const QString &password)
{
    window().CheckBox_FTP->setChecked(true);
    window().Edit_FTPRemoteAddress->setText(u"ftp.example.org"_s);
    window().Edit_FTPRemoteDir->setText(u"/pub/cams"_s);
    window().Edit_FTPUsername->setText(u" "_s);
    window().Edit_FTPPassword->setText(password);
}

} // namespace

class TestSnapshotSettings : public QObject {
    Q_OBJECT

private slots:
    void sensitivityLabelFollowsTheBar();
    void doneRefusesMissingFtpInformation();
    void manualFilenameMirrorsTheEdit();
    void directoryChooser();
    void qtFolderChooserTakesANewFolder();
    void keysRoundTrip();
    void localKeyKeepsItsSpelling();
};

void TestSnapshotSettings::sensitivityLabelFollowsTheBar()
{
    TFormSnapshotSettings fresh;
    QCOMPARE(fresh.Label_Sensitivity->text(), u"(50%)"_s);
    fresh.ScrollBar_MotionDetectionSensitivity->setValue(75);
    QCOMPARE(fresh.Label_Sensitivity->text(), u"(75%)"_s);
    fresh.ScrollBar_MotionDetectionSensitivity->setValue(0);
    QCOMPARE(fresh.Label_Sensitivity->text(), u"(1%)"_s);
}

void TestSnapshotSettings::doneRefusesMissingFtpInformation()
{
    SnapshotProgram program;
    FormMain->Button_SnapshotOptionsClick();
    fillFtp(QString());
    window().Button1->click();
    QCOMPARE(program.messages.messages.size(), 1);
    QCOMPARE(program.messages.messages[0].caption, u"Error"_s);
    QCOMPARE(program.messages.messages[0].text, u"Missing FTP Information"_s);
    QVERIFY(window().isVisible());
    QVERIFY(!FormMain->isEnabled());
    QCOMPARE(window().Edit_FTPRemoteAddress->text(), u"ftp.example.org"_s);

    window().Edit_FTPPassword->setText(u"secret"_s);
    QCOMPARE(window().Edit_FTPPassword->displayText(), u"******"_s); // masked on screen, kept as typed
    window().Button1->click();
    QVERIFY(!window().isVisible());
    QVERIFY(FormMain->isEnabled());

    // With FTP off, empty fields do not matter.
    FormMain->Button_SnapshotOptionsClick();
    window().CheckBox_FTP->setChecked(false);
    window().Edit_FTPPassword->clear();
    window().Button1->click();
    QVERIFY(!window().isVisible());
    QCOMPARE(program.messages.messages.size(), 1);
}

void TestSnapshotSettings::manualFilenameMirrorsTheEdit()
{
    SnapshotProgram program;
    window().Edit_ManualFilename->setText(u"door"_s);
    FormMain->Button_SnapshotOptionsClick();
    QVERIFY(window().ManualFilename->isChecked());

    window().Edit_ManualFilename->clear();
    QTest::keyClick(window().Edit_ManualFilename, Qt::Key_A);
    QVERIFY(window().ManualFilename->isChecked());
    QTest::keyClick(window().Edit_ManualFilename, Qt::Key_Backspace);
    QVERIFY(!window().ManualFilename->isChecked());

    window().Edit_ManualFilename->setText(u"door"_s);
    window().ManualFilename->setChecked(true);
    window().ManualFilename->click();
    QVERIFY(window().Edit_ManualFilename->text().isEmpty());
    window().ManualFilename->click();
    QVERIFY(window().Edit_ManualFilename->text().isEmpty());
}

void TestSnapshotSettings::directoryChooser()
{
    SnapshotProgram program;
    const QString start = window().Edit_LocalSaveDir->text();
    QStringList questions;
    bool answer = false;
    ScopedSeam<bool(QWidget *, const QString &, const QString &)> ask(
        seams::AskYesNo, [&](QWidget *, const QString &, const QString &question) {
            questions.append(question);
            return answer;
        });

    program.dialogs.folderAnswers = {std::nullopt, program.dir.path(), program.dir.filePath(u"new/a"_s),
                                     program.dir.filePath(u"new/b"_s)};
    window().Button2->click(); // cancel
    QCOMPARE(window().Edit_LocalSaveDir->text(), start);
    window().Button2->click();
    QCOMPARE(window().Edit_LocalSaveDir->text(), program.dir.path());
    window().Button2->click(); // a new folder, and the user says no
    QCOMPARE(window().Edit_LocalSaveDir->text(), program.dir.path());
    QVERIFY(!QFileInfo::exists(program.dir.filePath(u"new/a"_s)));
    answer = true;
    window().Button2->click();
    QCOMPARE(window().Edit_LocalSaveDir->text(), program.dir.filePath(u"new/b"_s));
    QVERIFY(QFileInfo(program.dir.filePath(u"new/b"_s)).isDir());

    QCOMPARE(program.dialogs.folderStarts, (QStringList{start, start, program.dir.path(), program.dir.path()}));
    QCOMPARE(questions.size(), 2);
}

// The production chooser, typed into as a person would; nothing answers it but the keys.
void TestSnapshotSettings::qtFolderChooserTakesANewFolder()
{
    SnapshotProgram program;
    seams::GetExistingDirectory.reset();
    QStringList questions;
    ScopedSeam<bool(QWidget *, const QString &, const QString &)> ask(
        seams::AskYesNo, [&](QWidget *, const QString &, const QString &question) {
            questions.append(question);
            return true;
        });
    const QString fresh = program.dir.filePath(u"typed/new"_s);
    for (const QString &typed : {program.dir.path(), fresh}) {
        QTimer::singleShot(0, [typed] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            auto *name = dialog ? dialog->findChild<QLineEdit *>(u"fileNameEdit"_s) : nullptr;
            auto *buttons = dialog ? dialog->findChild<QDialogButtonBox *>() : nullptr;
            if (!name || !buttons)
                return;
            name->setText(typed);
            if (QFileInfo::exists(typed))
                QTest::keyClick(name, Qt::Key_Return);
            else
                buttons->button(QDialogButtonBox::Open)->click(); // "Choose", greyed out by Qt for a new name
        });
        // A chooser that does not take the name (or answers with a box) is given up on.
        QTimer giveUp;
        giveUp.callOnTimeout([] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        giveUp.start(3000);
        window().Button2->click();
        QCOMPARE(window().Edit_LocalSaveDir->text(), typed);
    }
    QVERIFY(QFileInfo(fresh).isDir());
    QCOMPARE(questions.size(), 1);
}

void TestSnapshotSettings::keysRoundTrip()
{
    {
        SnapshotProgram program;
        QCOMPARE(window().Edit_LocalSaveDir->text().isEmpty(), false);
        window().Edit_LocalSaveDir->setText(u"/srv/snaps"_s);
        window().Edit_ManualFilename->setText(u" door "_s);
        fillFtp(u"p=w\"d"_s);
        window().CheckBox_Local->setChecked(false);
        window().SpinEdit_FTPRemotePort->setValue(2121);
        window().CheckBox_MotionDetection->setChecked(true);
        window().ScrollBar_MotionDetectionSensitivity->setValue(75);
        window().CheckBox_FTPPassive->setChecked(true);
        FormMain->AutoCapture->setChecked(true);
        FormMain->SaveSettings();
        const QByteArray saved = program.readSettings();
        QVERIFY(saved.indexOf("AutoCapture=1") < saved.indexOf("[FormSnapshotSettings]"));
        QVERIFY(saved.contains("LOCAL=0"));
        QVERIFY(saved.contains("FTPPassive=1"));

        // Loading the saved file into default controls gives back every value.
        SnapshotProgram again;
        again.writeSettings(saved);
        FormMain->LoadSettings();
        QCOMPARE(window().Edit_LocalSaveDir->text(), u"/srv/snaps"_s);
        QCOMPARE(window().Edit_ManualFilename->text(), u" door "_s);
        QVERIFY(window().CheckBox_FTP->isChecked());
        QVERIFY(!window().CheckBox_Local->isChecked());
        QCOMPARE(window().Edit_FTPRemoteAddress->text(), u"ftp.example.org"_s);
        QCOMPARE(window().Edit_FTPRemoteDir->text(), u"/pub/cams"_s);
        QCOMPARE(window().SpinEdit_FTPRemotePort->value(), 2121);
        QCOMPARE(window().Edit_FTPUsername->text(), u" "_s);
        QCOMPARE(window().Edit_FTPPassword->text(), u"p=w\"d"_s);
        QVERIFY(window().CheckBox_MotionDetection->isChecked());
        QCOMPARE(window().Label_Sensitivity->text(), u"(75%)"_s);
        QVERIFY(window().CheckBox_FTPPassive->isChecked());
    }
    // Without a file: the defaults, and the current directory as the folder.
    ProgramFixture empty;
    empty.start();
    QCOMPARE(window().Edit_LocalSaveDir->text(), QDir::currentPath());
    QVERIFY(window().CheckBox_Local->isChecked());
    QCOMPARE(window().ScrollBar_MotionDetectionSensitivity->value(), 50);
    QVERIFY(!window().CheckBox_FTPPassive->isChecked()); // active mode unless chosen
}

void TestSnapshotSettings::localKeyKeepsItsSpelling()
{
    ProgramFixture program("[FormSnapshotSettings]\nLocal=0\nFTPRemotePort=70000\n");
    program.start();
    QVERIFY(!window().CheckBox_Local->isChecked());
    QCOMPARE(window().SpinEdit_FTPRemotePort->value(), 9999);
    window().CheckBox_Local->setChecked(true);
    FormMain->SaveSettings();
    const QByteArray saved = program.readSettings();
    QCOMPARE(saved.toLower().count("\nlocal="), 1);
    QVERIFY(saved.contains("\nLocal=1"));
}

VANTREL_TEST_MAIN(TestSnapshotSettings)
#include "TestSnapshotSettings.moc"
