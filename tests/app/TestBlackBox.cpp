// The real program, started from a copy in a folder of its own, seen only from
// outside: its event log on standard error and the files beside it.
#include "tests/support/BlackBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int StartTimeoutMs = 30000;

const QString InitializedText = u"Initialization Successful"_s;
const QString HintLine = u"* Click \"Enable Server\" to begin hosting your webcam"_s;

// "mm-dd-yy hh:nn:ss: " from the program's own clock.
const QRegularExpression StampPattern(u"^\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: "_s);

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits for the last start-up line, which comes after the one the log helper
// can wait for by its ending.
bool waitForStartUp(BlackBoxVantrel &program)
{
    return program.waitForLogLineEndingWith(InitializedText, StartTimeoutMs) &&
           program.waitForLogLineEndingWith(HintLine, StartTimeoutMs);
}

} // namespace

class TestBlackBox : public QObject {
    Q_OBJECT

private slots:
    void firstStartLogsStartUpAndCreatesNoFile();
    void oddSettingsFileIsReadAndLeftAlone_data();
    void oddSettingsFileIsReadAndLeftAlone();
    void terminateEndsCleanly_data();
    void terminateEndsCleanly();
    void loadingCreatesNoFolder();
    void secondStartWithTheSameFileEnds();
};

void TestBlackBox::firstStartLogsStartUpAndCreatesNoFile()
{
    BlackBoxVantrel program;
    QVERIFY(!QFileInfo::exists(program.settingsPath()));
    QVERIFY(program.start());
    QVERIFY2(waitForStartUp(program), qPrintable(program.standardError()));

    const QStringList lines = program.logLines();
    QVERIFY2(lines.size() == 12, qPrintable(lines.join(u'\n')));

    QCOMPARE(lines.at(0), u"- Vantrel v1.4.3"_s);
    for (int i = 1; i <= 2; ++i) {
        QVERIFY2(lines.at(i).startsWith(u"- "_s) && lines.at(i).size() > 2, qPrintable(lines.at(i)));
        QVERIFY2(!StampPattern.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
    }

    const QStringList timed{
        u"Initializing capture object"_s,    u"Initializing available capture drivers"_s,
        u"Setting preview to 66.6/fpm"_s,    u"Initializing preview with device #0"_s,
        u"Toggled hardware overlay to ON"_s, u"Capture driver does not support Hardware Overlay! Disabled"_s,
        u"Loaded saved default settings"_s,  u"Initialization Successful"_s,
    };
    for (qsizetype i = 0; i < timed.size(); ++i) {
        const QString &line = lines.at(3 + i);
        const QRegularExpressionMatch stamp = StampPattern.match(line);
        QVERIFY2(stamp.hasMatch(), qPrintable(line));
        QCOMPARE(line.sliced(stamp.capturedLength()), timed.at(i));
    }
    QCOMPARE(lines.at(11), HintLine);

    // Reading settings that are not there must not create them.
    QVERIFY(!QFileInfo::exists(program.settingsPath()));
    QCOMPARE(folderEntries(program.folder()), QStringList{u"vantrel"_s});
}

void TestBlackBox::oddSettingsFileIsReadAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("settings");

    QTest::newRow("out of range values") << QByteArray("[formmain]\r\nPort = 70000\r\nJPEGQuality=0x7fffffff\r\n"
                                                       "AutoTime=-5\r\nEnabled=abc\r\nTop=-20\r\nLeft=999999\r\n");
    QTest::newRow("duplicates and strangers") << QByteArray("; note\n[FormMain]\nPort=1\nPort=2\n[FormMain]\nPort=3\n"
                                                            "[Stranger]\nKey=\"quoted\"\nno equals\n[unterminated\n");
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919 + 13) % 256);
    QTest::newRow("binary garbage") << noise;
    QTest::newRow("long line") << QByteArray("[FormMain]\nPort=") + QByteArray(1024 * 1024, '7') + '\n';
}

void TestBlackBox::oddSettingsFileIsReadAndLeftAlone()
{
    QFETCH(QByteArray, settings);

    BlackBoxVantrel program(settings);
    QCOMPARE(fileBytes(program.settingsPath()), settings);
    QVERIFY(program.start());
    QVERIFY2(waitForStartUp(program), qPrintable(program.standardError()));

    bool loaded = false;
    for (const QString &line : program.logLines())
        loaded = loaded || line.endsWith(u": Loaded saved default settings"_s);
    QVERIFY(loaded);
    QVERIFY(fileBytes(program.settingsPath()) == settings);
    QCOMPARE(folderEntries(program.folder()), (QStringList{u"vantrel"_s, u"vantrel.INI"_s}));
}

void TestBlackBox::terminateEndsCleanly_data()
{
    QTest::addColumn<bool>("portTaken");
    QTest::newRow("running") << false;
    // The settings start the server on a port in use: the error box opens before the message loop runs.
    QTest::newRow("error box at start-up") << true;
}

void TestBlackBox::terminateEndsCleanly()
{
    QFETCH(bool, portTaken);
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, FreeServerPort())); // the port box stops at 9999
    BlackBoxVantrel program(portTaken ? "[FormMain]\nEnabled=1\nPort=" + QByteArray::number(taken.serverPort()) + "\n"
                                      : QByteArray());
    QVERIFY(program.start());
    const QString awaited = portTaken ? u"Server starting..."_s : HintLine;
    QVERIFY2(program.waitForLogLineEndingWith(awaited, StartTimeoutMs), qPrintable(program.standardError()));

    QProcess &process = program.process();
    process.terminate();
    QVERIFY2(process.waitForFinished(StartTimeoutMs), "still running after terminate");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(!program.standardError().contains(u"AddressSanitizer"_s), qPrintable(program.standardError()));
}

void TestBlackBox::loadingCreatesNoFolder()
{
    // With its own folder closed to writing, the program's settings would
    // live in the user's configuration folder; reading them creates nothing there.
    BlackBoxVantrel program;
    QTemporaryDir home;
    const QString config = home.filePath(u"config"_s);
    QVERIFY(QDir().mkpath(config) && QDir().mkpath(home.filePath(u"cache"_s)));
    const auto everyone =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    for (const QString &folder : {home.path(), config, home.filePath(u"cache"_s)})
        QFile::setPermissions(folder, everyone);
    const auto closed = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(program.folder(), closed);
    // A privileged user writes anywhere, so the program then runs as an ordinary one.
    if (::geteuid() == 0)
        program.startThrough({u"setpriv"_s, u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s});
    program.setEnvironment(u"HOME"_s, home.path());
    program.setEnvironment(u"XDG_CONFIG_HOME"_s, config);
    program.setEnvironment(u"XDG_CACHE_HOME"_s, home.filePath(u"cache"_s));

    QVERIFY(program.start());
    const bool started = waitForStartUp(program);
    program.stop();
    QFile::setPermissions(program.folder(), closed | QFile::WriteOwner);
    QVERIFY2(started, qPrintable(program.standardError()));
    QStringList created = folderEntries(config);
    created.removeAll(u"pulse"_s); // the sound server's client library, asked for microphones, keeps its own
    QCOMPARE(created, QStringList());
    QCOMPARE(folderEntries(program.folder()), QStringList{u"vantrel"_s});
}

void TestBlackBox::secondStartWithTheSameFileEnds()
{
    BlackBoxVantrel first;
    QVERIFY(first.start() && waitForStartUp(first));
    QProcess second;
    second.setProcessEnvironment(first.process().processEnvironment());
    second.start(first.executablePath(), {u"--settings"_s, first.settingsPath()});
    QVERIFY2(second.waitForFinished(StartTimeoutMs), "the second program did not end");
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardError().contains("Vantrel already runs with the settings file"));
    QCOMPARE(first.process().state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestBlackBox)
#include "TestBlackBox.moc"
