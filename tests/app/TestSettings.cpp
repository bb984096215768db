// Loading the settings file into the main window's controls and saving them back.
#include "live/TFormGoLive.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/BlackBox.h"
#include "tests/support/FolderClosedToWriting.h"
#include "tests/support/VantrelTestMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// The fixture's clock stands at 2026-12-07 14:05:09.
const QString Stamp = u"12-07-26 14:05:09: "_s;
const QString LoadedLine = Stamp + u"Loaded saved default settings"_s;
const QString SavedLine = Stamp + u"Saved default settings"_s;
const QString SavedCaption = u"Saved Defaults"_s;
const QString SavedText = u"All options, window locations, and sizes have been saved."_s;

qsizetype countOf(const QStringList &lines, const QString &line) { return lines.count(line); }

QString jpegTitle(int quality) { return u"JPEG Image Quality (%1%)"_s.arg(quality); }

mode_t modeOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

bool makeReadOnly(const QString &path) { return ::chmod(QFile::encodeName(path).constData(), 0444) == 0; }

// Sets the main window's controls and moves it, waiting until it stands there.
void setControls(int port, int quality, int autoTime, bool enabled, bool autoCapture, QPoint position)
{
    FormMain->SpinEdit->setValue(port);
    FormMain->JPEGQuality->setValue(quality);
    FormMain->AutoTime->setValue(autoTime);
    FormMain->CheckBox->setChecked(enabled);
    FormMain->AutoCapture->setChecked(autoCapture);
    FormMain->move(position);
    QTRY_COMPARE(FormMain->pos(), position);
}

// Checks the main window's controls, the quality box's caption included.
void checkControls(int port, int quality, int autoTime, bool enabled, bool autoCapture)
{
    QCOMPARE(FormMain->SpinEdit->value(), port);
    QCOMPARE(FormMain->JPEGQuality->value(), quality);
    QCOMPARE(FormMain->GroupBoxJpeg->title(), jpegTitle(quality));
    QCOMPARE(FormMain->AutoTime->value(), autoTime);
    QCOMPARE(FormMain->CheckBox->isChecked(), enabled);
    QCOMPARE(FormMain->AutoCapture->isChecked(), autoCapture);
}

// A literal's bytes, embedded NULs included.
template <qsizetype N> QByteArray bytes(const char (&text)[N]) { return QByteArray(text, N - 1); }

QByteArray garbage(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray result(size, Qt::Uninitialized);
    for (char &byte : result)
        byte = static_cast<char>(random.bounded(256));
    return result;
}

// The snapshot settings window's section as a save appends it to a file without one.
QByteArray defaultSnapshotSection(const QByteArray &lineEnd)
{
    return QStringLiteral("[FormSnapshotSettings]\nLocalSaveDir=%1\nFilename=\nFTP=0\nLOCAL=1\nFTPRemoteAddress=\n"
                          "FTPRemoteDir=\nFTPRemotePort=21\nFTPUsername=\nFTPPassword=\nMotionDetection=0\n"
                          "MotionDetectionSensitivity=50\nFTPPassive=0\n")
        .arg(QDir::currentPath())
        .toUtf8()
        .replace("\n", lineEnd);
}

// The bytes a save of these values produces in a file that had no settings.
QByteArray freshFile(int port, int quality, int autoTime, QPoint position, bool enabled, bool autoCapture)
{
    return QStringLiteral("[FormMain]\nPort=%1\nJPEGQuality=%2\nAutoTime=%3\nTop=%4\nLeft=%5\nEnabled=%6\n"
                          "AutoCapture=%7\n")
               .arg(port)
               .arg(quality)
               .arg(autoTime)
               .arg(position.y())
               .arg(position.x())
               .arg(enabled ? 1 : 0)
               .arg(autoCapture ? 1 : 0)
               .toUtf8() +
           defaultSnapshotSection("\n");
}

// The file without the sections of the other windows, which their own suites check.
QByteArray mainWindowPart(const QByteArray &file)
{
    static const QList<QByteArray> otherSections{"[FormPublish]", "[FormChart]", "[FormBandwidth]",
                                                 "[FormRequestedIPs]"};
    QByteArray kept;
    bool skipping = false;
    for (qsizetype start = 0; start < file.size();) {
        const qsizetype end = file.indexOf('\n', start);
        const QByteArray line = file.mid(start, end < 0 ? -1 : end + 1 - start);
        if (line.startsWith('['))
            skipping = otherSections.contains(line.trimmed());
        if (!skipping)
            kept += line;
        start += line.size();
    }
    return kept;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void firstStartWithoutFileUsesDefaults();
    void loadReadsAndClampsValues_data();
    void loadReadsAndClampsValues();
    void loadSetsControlsInOrderThenLogs();
    void positionAppliesOnlyWhenNotNegative_data();
    void positionAppliesOnlyWhenNotNegative();
    void unreadableContentStillStarts_data();
    void unreadableContentStillStarts();
    void saveThenLoadRestoresEveryValue();
    void saveCreatesExactFile();
    void newFileIsOwnerOnly();
    void saveKeepsUnknownLines_data();
    void saveKeepsUnknownLines();
    void readOnlyFileShowsErrorAndStaysUnchanged();
    void unreadableFileIsNotSavedOver();
    void saveMenuConfirmsAfterSaving();
    void loadDefaultsTakesEnabledFromFile_data();
    void loadDefaultsTakesEnabledFromFile();
    void goLiveWindowStartsAtOnceStopsAndKeepsItsChoices();
};

void TestSettings::firstStartWithoutFileUsesDefaults()
{
    ProgramFixture fixture;
    fixture.start();

    checkControls(8282, 75, 10, false, false);
    QCOMPARE(countOf(FormMain->LogLines(), LoadedLine), 1);
    QVERIFY(fixture.messages.messages.isEmpty());

    // Loading must not leave a file behind, not even an empty one.
    QVERIFY(!QFileInfo::exists(fixture.settingsPath()));
    QVERIFY(QDir(fixture.dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
}

void TestSettings::loadReadsAndClampsValues_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("autoTime");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("autoCapture");

    QTest::newRow("every key") << QByteArray("[FormMain]\nPort=8080\nJPEGQuality=90\nAutoTime=30\nEnabled=1\n"
                                             "AutoCapture=1\n")
                               << 8080 << 90 << 30 << true << true;
    QTest::newRow("port above range") << QByteArray("[FormMain]\nPort=70000\n") << 9999 << 75 << 10 << false << false;
    QTest::newRow("port zero") << QByteArray("[FormMain]\nPort=0\n") << 1 << 75 << 10 << false << false;
    QTest::newRow("quality hex") << QByteArray("[FormMain]\nJPEGQuality=0x20\n") << 8282 << 32 << 10 << false << false;
    QTest::newRow("quality upper-case hex")
        << QByteArray("[FormMain]\nJPEGQuality=0X1e\n") << 8282 << 30 << 10 << false << false;
    QTest::newRow("quality bare 0x") << QByteArray("[FormMain]\nJPEGQuality=0x\n") << 8282 << 75 << 10 << false
                                     << false;
    QTest::newRow("quality not a number")
        << QByteArray("[FormMain]\nJPEGQuality=abc\n") << 8282 << 75 << 10 << false << false;
    QTest::newRow("quality above range") << QByteArray("[FormMain]\nJPEGQuality=250\n") << 8282 << 100 << 10 << false
                                         << false;
    QTest::newRow("quality negative") << QByteArray("[FormMain]\nJPEGQuality=-3\n") << 8282 << 0 << 10 << false
                                      << false;
    QTest::newRow("auto time negative") << QByteArray("[FormMain]\nAutoTime=-5\n") << 8282 << 75 << 1 << false << false;
    QTest::newRow("auto time above range")
        << QByteArray("[FormMain]\nAutoTime=123456\n") << 8282 << 75 << 9999 << false << false;
    QTest::newRow("booleans any non-zero")
        << QByteArray("[FormMain]\nEnabled=2\nAutoCapture=0x1\n") << 8282 << 75 << 10 << true << true;
    QTest::newRow("booleans not a number")
        << QByteArray("[FormMain]\nEnabled=yes\nAutoCapture=true\n") << 8282 << 75 << 10 << false << false;
    QTest::newRow("lower-case names") << QByteArray("[formmain]\nport=1234\njpegquality=50\nautotime=20\nenabled=1\n"
                                                    "autocapture=1\n")
                                      << 1234 << 50 << 20 << true << true;
    QTest::newRow("upper-case names") << QByteArray("[FORMMAIN]\nPORT=4321\nJPEGQUALITY=51\n") << 4321 << 51 << 10
                                      << false << false;
    QTest::newRow("spaces around =") << QByteArray("[FormMain]\n  Port = 4321\nJPEGQuality\t=\t60  \nAutoTime= 7\n"
                                                   "Enabled =1\n")
                                     << 4321 << 60 << 7 << true << false;
    QTest::newRow("CRLF line ends") << QByteArray("[FormMain]\r\nPort=8080\r\nJPEGQuality=90\r\nAutoTime=30\r\n"
                                                  "Enabled=1\r\nAutoCapture=1\r\n")
                                    << 8080 << 90 << 30 << true << true;
    QTest::newRow("no final line end") << QByteArray("[FormMain]\nPort=2345") << 2345 << 75 << 10 << false << false;
    QTest::newRow("duplicate section") << QByteArray("[FormMain]\nPort=1111\n[FormMain]\nPort=2222\n") << 1111 << 75
                                       << 10 << false << false;
    QTest::newRow("duplicate key") << QByteArray("[FormMain]\nPort=3333\nPort=4444\nJPEGQuality=10\nJPEGQuality=20\n")
                                   << 3333 << 10 << 10 << false << false;
    QTest::newRow("other section only") << QByteArray("[Other]\nPort=1234\nEnabled=1\n") << 8282 << 75 << 10 << false
                                        << false;
    QTest::newRow("keys before any section")
        << QByteArray("Port=1234\n[FormMain]\nAutoTime=3\n") << 8282 << 75 << 3 << false << false;
    QTest::newRow("comments") << QByteArray("; Port=1\n[FormMain]\n;Port=2\n#Port=3\nPort=4\n") << 4 << 75 << 10
                              << false << false;
    QTest::newRow("quoted value") << QByteArray("[FormMain]\nPort=\"5678\"\n") << 5678 << 75 << 10 << false << false;
}

void TestSettings::loadReadsAndClampsValues()
{
    QFETCH(QByteArray, content);
    QFETCH(int, port);
    QFETCH(int, quality);
    QFETCH(int, autoTime);
    QFETCH(bool, enabled);
    QFETCH(bool, autoCapture);

    ProgramFixture fixture(content);
    fixture.start();

    checkControls(port, quality, autoTime, enabled, autoCapture);
    QCOMPARE(countOf(FormMain->LogLines(), LoadedLine), 1);
    QCOMPARE(fixture.readSettings(), content);
    QVERIFY(fixture.messages.messages.isEmpty());
}

void TestSettings::loadSetsControlsInOrderThenLogs()
{
    ProgramFixture fixture;
    fixture.start();
    fixture.writeSettings("[FormMain]\nAutoCapture=1\nEnabled=1\nAutoTime=30\nJPEGQuality=90\nPort=8080\n");

    QStringList order;
    QObject::connect(FormMain->SpinEdit, &QSpinBox::valueChanged, FormMain, [&order] { order << u"Port"_s; });
    QObject::connect(FormMain->JPEGQuality, &QScrollBar::valueChanged, FormMain,
                     [&order] { order << u"JPEGQuality"_s; });
    QObject::connect(FormMain->AutoTime, &QSpinBox::valueChanged, FormMain, [&order] { order << u"AutoTime"_s; });
    QObject::connect(FormMain->CheckBox, &QCheckBox::toggled, FormMain, [&order] { order << u"Enabled"_s; });
    QObject::connect(FormMain->AutoCapture, &QCheckBox::toggled, FormMain, [&order] { order << u"AutoCapture"_s; });
    QObject::connect(FormMain->Log, &QPlainTextEdit::textChanged, FormMain, [&order] {
        if (FormMain->LogLines().constLast() == LoadedLine)
            order << u"log"_s;
    });

    FormMain->LoadSettings();

    // The file's own key order does not matter; the controls are read in a fixed order.
    QCOMPARE(order,
             (QStringList{u"Port"_s, u"JPEGQuality"_s, u"AutoTime"_s, u"Enabled"_s, u"AutoCapture"_s, u"log"_s}));
    QCOMPARE(FormMain->LogLines().constLast(), LoadedLine);
}

void TestSettings::positionAppliesOnlyWhenNotNegative_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("leftApplies");
    QTest::addColumn<bool>("topApplies");
    QTest::addColumn<QPoint>("saved");

    QTest::newRow("both given") << QByteArray("[FormMain]\nTop=30\nLeft=40\n") << true << true << QPoint(40, 30);
    QTest::newRow("both negative") << QByteArray("[FormMain]\nTop=-20\nLeft=-20\n") << false << false << QPoint();
    QTest::newRow("top negative") << QByteArray("[FormMain]\nTop=-20\nLeft=40\n") << true << false << QPoint(40, 0);
    QTest::newRow("left negative") << QByteArray("[FormMain]\nTop=30\nLeft=-1\n") << false << true << QPoint(0, 30);
    QTest::newRow("only top") << QByteArray("[FormMain]\nTop=30\n") << false << true << QPoint(0, 30);
    QTest::newRow("zero") << QByteArray("[FormMain]\nTop=0\nLeft=0\n") << true << true << QPoint(0, 0);
    QTest::newRow("not numbers") << QByteArray("[FormMain]\nTop=up\nLeft=x\n") << false << false << QPoint();
}

void TestSettings::positionAppliesOnlyWhenNotNegative()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, leftApplies);
    QFETCH(bool, topApplies);
    QFETCH(QPoint, saved);

    QPoint unplaced;
    {
        // Where the window goes when the file says nothing about it.
        ProgramFixture reference;
        reference.start();
        unplaced = FormMain->pos();
    }
    const auto expectedFrom = [&](QPoint before) {
        return QPoint(leftApplies ? saved.x() : before.x(), topApplies ? saved.y() : before.y());
    };

    ProgramFixture fixture(content);
    fixture.start();
    QTRY_COMPARE(FormMain->pos(), expectedFrom(unplaced));

    const QPoint placed(55, 66);
    FormMain->move(placed);
    QTRY_COMPARE(FormMain->pos(), placed);
    FormMain->LoadSettings();
    QTRY_COMPARE(FormMain->pos(), expectedFrom(placed));
}

void TestSettings::unreadableContentStillStarts_data()
{
    QTest::addColumn<QByteArray>("content");

    const QByteArray noise = garbage(256 * 1024, 20261207);
    QTest::newRow("binary garbage") << noise;
    QTest::newRow("binary garbage in section") << QByteArray("[FormMain]\n") + noise;
    QTest::newRow("garbage values") << bytes("[FormMain]\nPort=\xff\xfe\x00\x01\nJPEGQuality=\x80\x80\n"
                                             "AutoTime==\nEnabled=[\nAutoCapture=\"\nTop=\x01\nLeft=\x7f\n");
    QTest::newRow("10 MB line") << QByteArray(10 * 1024 * 1024, 'x');
    QTest::newRow("10 MB value") << QByteArray("[FormMain]\nPort=") + QByteArray(10 * 1024 * 1024, '9') + '\n';
    QTest::newRow("10 MB section name") << '[' + QByteArray(10 * 1024 * 1024, 'F') + "]\nPort=7\n";
}

void TestSettings::unreadableContentStillStarts()
{
    QFETCH(QByteArray, content);

    ProgramFixture fixture(content);
    fixture.start();

    QVERIFY(Initialized);
    QCOMPARE(countOf(FormMain->LogLines(), LoadedLine), 1);
    QVERIFY(FormMain->SpinEdit->value() >= 1 && FormMain->SpinEdit->value() <= 9999);
    QVERIFY(FormMain->JPEGQuality->value() >= 0 && FormMain->JPEGQuality->value() <= 100);
    QCOMPARE(FormMain->GroupBoxJpeg->title(), jpegTitle(FormMain->JPEGQuality->value()));
    QVERIFY(FormMain->AutoTime->value() >= 1 && FormMain->AutoTime->value() <= 9999);
    QVERIFY(FormMain->pos().x() >= 0 && FormMain->pos().y() >= 0);
    QVERIFY(fixture.readSettings() == content);
    QVERIFY(fixture.messages.messages.isEmpty());
}

void TestSettings::saveThenLoadRestoresEveryValue()
{
    ProgramFixture fixture;
    fixture.start();

    setControls(4321, 33, 77, true, true, QPoint(40, 30));
    FormMain->SaveSettings();
    QCOMPARE(FormMain->LogLines().constLast(), SavedLine);

    setControls(1, 99, 2, false, false, QPoint(100, 120));
    FormMain->LoadSettings();

    checkControls(4321, 33, 77, true, true);
    QTRY_COMPARE(FormMain->pos(), QPoint(40, 30));
    QCOMPARE(FormMain->LogLines().constLast(), LoadedLine);
    QVERIFY(fixture.messages.messages.isEmpty());
}

void TestSettings::saveCreatesExactFile()
{
    ProgramFixture fixture;
    fixture.start();
    QVERIFY(!QFileInfo::exists(fixture.settingsPath()));

    FormMain->SaveSettings();

    QCOMPARE(mainWindowPart(fixture.readSettings()), freshFile(8282, 75, 10, FormMain->pos(), false, false));
    QCOMPARE(FormMain->LogLines().constLast(), SavedLine);
    QCOMPARE(countOf(FormMain->LogLines(), SavedLine), 1);
    QVERIFY(fixture.messages.messages.isEmpty());

    // A second save rewrites the same keys in place.
    setControls(9999, 0, 1, true, true, QPoint(0, 0));
    FormMain->SaveSettings();
    QCOMPARE(mainWindowPart(fixture.readSettings()), freshFile(9999, 0, 1, QPoint(0, 0), true, true));
}

void TestSettings::newFileIsOwnerOnly()
{
    // Even a permissive umask must not open the file to others: it holds the FTP password.
    const auto restore = qScopeGuard([previous = ::umask(0)] { ::umask(previous); });
    ProgramFixture fixture;
    fixture.start();

    FormMain->SaveSettings();
    QVERIFY(QFileInfo::exists(fixture.settingsPath()));
    QCOMPARE(modeOf(fixture.settingsPath()), mode_t(0600));

    // Later saves keep the mode.
    FormMain->SaveSettings();
    QCOMPARE(modeOf(fixture.settingsPath()), mode_t(0600));
}

void TestSettings::saveKeepsUnknownLines_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // %X and %Y stand for the window's position

    QTest::newRow("known keys in place") << QByteArray("; written by hand\n"
                                                       "[Other]\n"
                                                       "Name = keep me  \n"
                                                       "Port=1\n"
                                                       "\n"
                                                       "[FormMain]\n"
                                                       "Port = 1234\n"
                                                       "Extra=  something odd  \n"
                                                       "JPEGQuality=40\n"
                                                       "# a comment\n"
                                                       "AutoTime=0x10\n"
                                                       "Top=-1\n"
                                                       "no equals sign here\n"
                                                       "Left=-1\n"
                                                       "Enabled=0\n"
                                                       "AutoCapture=7\n"
                                                       "\n"
                                                       "[Tail]\n"
                                                       "x=y\n"
                                                       "Port=2\n")
                                         << QByteArray("; written by hand\n"
                                                       "[Other]\n"
                                                       "Name = keep me  \n"
                                                       "Port=1\n"
                                                       "\n"
                                                       "[FormMain]\n"
                                                       "Port=1234\n"
                                                       "Extra=  something odd  \n"
                                                       "JPEGQuality=40\n"
                                                       "# a comment\n"
                                                       "AutoTime=16\n"
                                                       "Top=%Y\n"
                                                       "no equals sign here\n"
                                                       "Left=%X\n"
                                                       "Enabled=0\n"
                                                       "AutoCapture=1\n"
                                                       "\n"
                                                       "[Tail]\n"
                                                       "x=y\n"
                                                       "Port=2\n");
    QTest::newRow("missing keys appended")
        << QByteArray("[Other]\nKey=Value\n[FormMain]\nPort=1234\nUnknown=1\n")
        << QByteArray("[Other]\nKey=Value\n[FormMain]\nPort=1234\nUnknown=1\nJPEGQuality=75\nAutoTime=10\nTop=%Y\n"
                      "Left=%X\nEnabled=0\nAutoCapture=0\n");
    QTest::newRow("section added at end")
        << QByteArray("[Other]\nKey=Value\n")
        << QByteArray("[Other]\nKey=Value\n[FormMain]\nPort=8282\nJPEGQuality=75\nAutoTime=10\nTop=%Y\nLeft=%X\n"
                      "Enabled=0\nAutoCapture=0\n");
    QTest::newRow("CRLF kept")
        << QByteArray("[FormMain]\r\nPort=1234\r\nUnknown = 1 \r\n")
        << QByteArray("[FormMain]\r\nPort=1234\r\nUnknown = 1 \r\nJPEGQuality=75\r\nAutoTime=10\r\nTop=%Y\r\n"
                      "Left=%X\r\nEnabled=0\r\nAutoCapture=0\r\n");
}

void TestSettings::saveKeepsUnknownLines()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    ProgramFixture fixture(before);
    fixture.start();
    FormMain->SaveSettings();

    after.replace("%X", QByteArray::number(FormMain->x()));
    after.replace("%Y", QByteArray::number(FormMain->y()));
    after += defaultSnapshotSection(after.endsWith("\r\n") ? "\r\n" : "\n");
    QCOMPARE(mainWindowPart(fixture.readSettings()), after);
    QVERIFY(fixture.messages.messages.isEmpty());
}

void TestSettings::readOnlyFileShowsErrorAndStaysUnchanged()
{
    const QByteArray content("[FormMain]\nPort=1234\nJPEGQuality=40\n");
    ProgramFixture fixture(content);
    QVERIFY(makeReadOnly(fixture.settingsPath()));
    fixture.start();
    QCOMPARE(FormMain->SpinEdit->value(), 1234);
    FormMain->SpinEdit->setValue(4321);

    // Through the event loop, as a click would come, so the exception reaches the display.
    QTimer::singleShot(0, FormMain->Savesettingstofile1, &QAction::trigger);
    QTRY_COMPARE(fixture.messages.messages.size(), 1);
    QCOMPARE(fixture.messages.messages.first().caption, u"Vantrel"_s);
    QCOMPARE(fixture.messages.messages.first().text, u"Unable to write to "_s + fixture.settingsPath());

    QCOMPARE(fixture.readSettings(), content);
    QCOMPARE(modeOf(fixture.settingsPath()), mode_t(0444));
    QCOMPARE(countOf(FormMain->LogLines(), SavedLine), 0);
    QVERIFY(!fixture.messages.texts().contains(SavedText));
    const QStringList leftovers =
        QDir(fixture.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    QCOMPARE(leftovers, QStringList{u"vantrel.INI"_s});
}

void TestSettings::unreadableFileIsNotSavedOver()
{
    const QByteArray content("[FormMain]\nPort=1234\n[Mine]\nkept=1\n");
    ProgramFixture fixture(content);
    {
        // Writable but not readable for the program, which then acts as another user.
        const FolderClosedToWriting closed(fixture.dir.path(), fixture.settingsPath());
        QCOMPARE(::chmod(QFile::encodeName(fixture.settingsPath()).constData(), 0200), 0);
        fixture.start();
        QTimer::singleShot(0, FormMain->Savesettingstofile1, &QAction::trigger);
        QTRY_COMPARE(fixture.messages.messages.size(), 1);
    }
    QCOMPARE(FormMain->SpinEdit->value(), 8282);
    QCOMPARE(countOf(FormMain->LogLines(), SavedLine), 0);
    QVERIFY(!FormMain->LogLines().filter(u"vantrel.INI could not be read"_s).isEmpty());
    QCOMPARE(fixture.messages.messages.first().text, u"Unable to write to "_s + fixture.settingsPath());
    QCOMPARE(::chmod(QFile::encodeName(fixture.settingsPath()).constData(), 0600), 0);
    QCOMPARE(fixture.readSettings(), content);
}

void TestSettings::saveMenuConfirmsAfterSaving()
{
    ProgramFixture fixture;
    fixture.start();

    // While the box is open the file is already written and the save logged.
    QByteArray fileWhileOpen;
    QString lastLogLineWhileOpen;
    fixture.messages.whileOpen = [&](const RecordedMessage &) {
        fileWhileOpen = mainWindowPart(fixture.readSettings());
        lastLogLineWhileOpen = FormMain->LogLines().constLast();
    };
    FormMain->Savesettingstofile1->trigger();

    QCOMPARE(fixture.messages.messages.size(), 1);
    QCOMPARE(fixture.messages.messages.first().caption, SavedCaption);
    QCOMPARE(fixture.messages.messages.first().text, SavedText);
    QCOMPARE(fileWhileOpen, freshFile(8282, 75, 10, FormMain->pos(), false, false));
    QCOMPARE(lastLogLineWhileOpen, SavedLine);
}

void TestSettings::loadDefaultsTakesEnabledFromFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("checkedBefore");
    QTest::addColumn<QList<bool>>("toggles"); // the box's states on the way
    QTest::addColumn<int>("port");

    const QByteArray enables("[FormMain]\nEnabled=1\nPort=1234\n");
    const QByteArray disables("[FormMain]\nEnabled=0\nPort=1234\n");
    QTest::newRow("file enables, box clear") << enables << false << QList<bool>{true} << 1234;
    QTest::newRow("file enables, box checked") << enables << true << QList<bool>{false, true} << 1234;
    QTest::newRow("file disables, box checked") << disables << true << QList<bool>{false} << 1234;
    QTest::newRow("file disables, box clear") << disables << false << QList<bool>{} << 1234;
    QTest::newRow("key absent, box checked")
        << QByteArray("[FormMain]\nPort=1234\n") << true << QList<bool>{false} << 1234;
    QTest::newRow("no file, box checked") << QByteArray() << true << QList<bool>{false} << 8282;
}

void TestSettings::loadDefaultsTakesEnabledFromFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, checkedBefore);
    QFETCH(QList<bool>, toggles);
    QFETCH(int, port);

    ProgramFixture fixture(content);
    fixture.start();
    FormMain->CheckBox->setChecked(checkedBefore);
    FormMain->SpinEdit->setValue(42);
    QList<bool> seen;
    QObject::connect(FormMain->CheckBox, &QCheckBox::toggled, FormMain, [&seen](bool on) { seen << on; });

    FormMain->LoadDefaults1->trigger();

    // Cleared before the file is read, so a checked box always passes through
    // unchecked, even when the file enables it again.
    QCOMPARE(seen, toggles);
    QCOMPARE(FormMain->CheckBox->isChecked(), content.contains("Enabled=1"));
    QCOMPARE(FormMain->SpinEdit->value(), port);
    QCOMPARE(countOf(FormMain->LogLines(), LoadedLine), 2);
    QCOMPARE(FormMain->LogLines().constLast(), LoadedLine);
    QCOMPARE(QFileInfo::exists(fixture.settingsPath()), !content.isEmpty());
    QCOMPARE(fixture.readSettings(), content);
    QVERIFY(fixture.messages.messages.isEmpty());
}

// Going live at start with a server that is not there: the window tells of the waits and
// stops on its button; what it holds is written when it closes.
void TestSettings::goLiveWindowStartsAtOnceStopsAndKeepsItsChoices()
{
    const QByteArray url = "rtmp://127.0.0.1:" + QByteArray::number(FreeLocalPort()) + "/live";
    ProgramFixture fixture("[FormGoLive]\nUrl=" + url + "\nKey=abc\nBitrate=900\nAutoStart=1\n");
    fixture.start();
    TFormGoLive &window = *FormMain->FormGoLive;
    QVERIFY(QTest::qWaitFor([] { return !FormMain->LogLines().filter(u"refused; trying again in 1 s"_s).isEmpty(); }));
    QVERIFY2(window.LabelState->text().startsWith(u"Reconnecting in "_s), qPrintable(window.LabelState->text()));
    // The main window tells of it too, without the window open.
    const auto *indicator = FormMain->findChild<QLabel *>(u"GoLiveIndicator"_s);
    QVERIFY(indicator && !indicator->isHidden() && indicator->text().startsWith(u"Reconnecting in "_s));
    FormMain->GoLive1->trigger();
    QVERIFY(window.isVisible() && window.ButtonGoLive->text() == u"Stop"_s);
    window.ButtonGoLive->click();
    QCOMPARE(window.LabelState->text() + window.ButtonGoLive->text(), u"Stopped: stopped by the userGo live"_s);
    QVERIFY(indicator->isHidden());
    QCOMPARE(FormMain->LogLines().constLast().section(u": "_s, 1), u"Live stream stopped: stopped by the user"_s);
    window.Edit_Key->setText(u"xyz"_s);
    window.CheckBox_AutoStart->setChecked(false);
    window.ButtonClose->click();
    QVERIFY2(fixture.readSettings().contains("[FormGoLive]\nUrl=" + url + "\nKey=xyz\nBitrate=900\nAutoStart=0\n"),
             fixture.readSettings().constData());
}

VANTREL_TEST_MAIN(TestSettings)
#include "TestSettings.moc"
