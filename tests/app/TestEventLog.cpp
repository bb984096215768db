#include "base/log/LogFormat.h"
#include "base/seams/Exception.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderClosedToWriting.h"
#include "tests/support/VantrelTestMain.h"

#include "base/log/LogMirror.h"

#include <QDir>
#include <QTemporaryFile>
#include <QTimer>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Collects what the program writes to standard error under the event-log category.
QStringList *mirroredLines = nullptr;
QtMessageHandler previousHandler = nullptr;

void collectMirror(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (mirroredLines && qstrcmp(context.category, "vantrel.log") == 0)
        mirroredLines->append(message);
    else if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

class TestEventLog : public QObject {
    Q_OBJECT

private slots:
    void lineFormat_data();
    void lineFormat();
    void linesOfOneSecondKeepTheirOrder();
    void clearingAnEmptyLogLogsNothing();
    void everyLineIsMirroredToStandardError();
    void peerTextIsEscapedOnTheTerminalOnly();
    void exportWritesTheViewWithCrLf();
    void exportOfAnEmptyLogIsAnEmptyFile();
    void exportUsesTheTypedNameAndReplaces_data();
    void exportUsesTheTypedNameAndReplaces();
    void cancelledExportWritesNothing();
    void failedExportReportsAndLeavesNothing();
    void logViewIsBounded();
};

void TestEventLog::lineFormat_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("exportName");

    QTest::newRow("example") << QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)) << u"Server started!"_s
                             << u"12-07-26 14:05:09: Server started!"_s << u"12-07-26 14.05.09.txt"_s;
    QTest::newRow("padding") << QDateTime(QDate(2003, 1, 2), QTime(3, 4, 5)) << u"x"_s << u"01-02-03 03:04:05: x"_s
                             << u"01-02-03 03.04.05.txt"_s;
    QTest::newRow("midnight") << QDateTime(QDate(2026, 6, 30), QTime(0, 0, 0)) << u""_s << u"06-30-26 00:00:00: "_s
                              << u"06-30-26 00.00.00.txt"_s;
    QTest::newRow("afternoon, text unchanged")
        << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << u"  <b>&amp; 50%  "_s
        << u"12-31-26 23:59:59:   <b>&amp; 50%  "_s << u"12-31-26 23.59.59.txt"_s;
}

void TestEventLog::lineFormat()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, message);
    QFETCH(QString, line);
    QFETCH(QString, exportName);

    ProgramFixture program;
    CreateProgramWindows();
    program.clock.set(when);
    FormMain->AddToLog(message);
    QCOMPARE(FormMain->LogLines(), QStringList({line}));
    QCOMPARE(logformat::ExportFileName(when), exportName);
}

void TestEventLog::linesOfOneSecondKeepTheirOrder()
{
    ProgramFixture program;
    CreateProgramWindows();
    FormMain->AddToLog(u"first"_s);
    FormMain->AddToLog(u"second"_s);
    QCOMPARE(FormMain->LogLines(), QStringList({u"12-07-26 14:05:09: first"_s, u"12-07-26 14:05:09: second"_s}));
}

void TestEventLog::clearingAnEmptyLogLogsNothing()
{
    ProgramFixture program;
    CreateProgramWindows();
    QTest::mouseClick(FormMain->ButtonClearLog, Qt::LeftButton);
    QVERIFY(FormMain->LogLines().isEmpty());
    FormMain->AddToLog(u"a"_s);
    QTest::mouseClick(FormMain->ButtonClearLog, Qt::LeftButton);
    QVERIFY(FormMain->LogLines().isEmpty());
    QVERIFY(FormMain->Log->toPlainText().isEmpty());
}

void TestEventLog::everyLineIsMirroredToStandardError()
{
    ProgramFixture program;
    QStringList lines;
    mirroredLines = &lines;
    previousHandler = qInstallMessageHandler(collectMirror);
    program.start();
    qInstallMessageHandler(previousHandler);
    mirroredLines = nullptr;
    QCOMPARE(lines, FormMain->LogLines());
}

// Escape sequences, NUL, CR and line feeds from a peer reach standard error as visible
// text, one log line on one terminal line; the view is not touched.
void TestEventLog::peerTextIsEscapedOnTheTerminalOnly()
{
    ProgramFixture program;
    program.start();
    const QString peerText = u"SAY \x1b]0;owned\x07\x1b[2J\rA\u0000B\u009b6n\nC"_s;
    QTemporaryFile terminal;
    QVERIFY(terminal.open());
    const int savedError = ::dup(STDERR_FILENO);
    ::dup2(terminal.handle(), STDERR_FILENO);
    const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    InstallStandardErrorLogging();
    FormMain->AddToLog(peerText);
    qInstallMessageHandler(previous);
    ::dup2(savedError, STDERR_FILENO);
    ::close(savedError);

    terminal.seek(0);
    const QByteArray written = terminal.readAll();
    QVERIFY2(written.endsWith("12-07-26 14:05:09: SAY \\x1b]0;owned\\x07\\x1b[2J\\x0dA\\x00B\\x9b6n\\x0aC\n"),
             written.constData());
    QCOMPARE(written.count('\n'), 1);
}

void TestEventLog::exportWritesTheViewWithCrLf()
{
    ProgramFixture program;
    program.start();
    FormMain->AddToLog(u"ünïcode line"_s);
    const QString path = program.dir.filePath(u"exported.txt"_s);
    program.dialogs.saveAnswers.push_back(path);

    QTest::mouseClick(FormMain->Button1, Qt::LeftButton);

    QCOMPARE(program.dialogs.saveRequests.size(), 1);
    QCOMPARE(program.dialogs.saveRequests.at(0).proposedName, u"12-07-26 14.05.09.txt"_s);
    QVERIFY(program.dialogs.saveRequests.at(0).filter.startsWith(u"Text File ("_s));
    QByteArray expected;
    for (const QString &line : FormMain->LogLines())
        expected += line.toUtf8() + "\r\n";
    QCOMPARE(FileBytes(path), expected);
    QVERIFY(expected.startsWith("- Vantrel v1.4.3\r\n"));
    QVERIFY(expected.endsWith("12-07-26 14:05:09: \xc3\xbc"
                              "n\xc3\xaf"
                              "code line\r\n"));
    QCOMPARE(FormMain->LogLines().size(), 13);
}

void TestEventLog::exportOfAnEmptyLogIsAnEmptyFile()
{
    ProgramFixture program;
    CreateProgramWindows();
    const QString path = program.dir.filePath(u"empty.txt"_s);
    program.dialogs.saveAnswers.push_back(path);
    FormMain->Button1Click();
    QCOMPARE(FileBytes(path), QByteArray());
}

void TestEventLog::exportUsesTheTypedNameAndReplaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folderClosed");
    QTest::newRow("name without extension") << u"typed name without extension"_s << false;
    QTest::newRow("folder that takes no new file") << u"log.txt"_s << true;
}

void TestEventLog::exportUsesTheTypedNameAndReplaces()
{
    QFETCH(QString, name);
    QFETCH(bool, folderClosed);
    ProgramFixture program;
    CreateProgramWindows();
    const QString folder = program.dir.filePath(u"out"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u'/' + name;
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write(QByteArray(5000, 'x'));
    existing.close();
    FormMain->AddToLog(u"only line"_s);
    program.dialogs.saveAnswers.push_back(path);
    {
        std::optional<FolderClosedToWriting> closed;
        if (folderClosed)
            closed.emplace(folder, path);
        FormMain->Button1Click();
    }
    QCOMPARE(FileBytes(path), QByteArray("12-07-26 14:05:09: only line\r\n"));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{name});
    QVERIFY(program.messages.messages.isEmpty());
}

void TestEventLog::cancelledExportWritesNothing()
{
    ProgramFixture program;
    CreateProgramWindows();
    FormMain->AddToLog(u"line"_s);
    program.dialogs.saveAnswers.push_back(std::nullopt);
    FormMain->Button1Click();
    QCOMPARE(program.dialogs.saveRequests.size(), 1);
    QCOMPARE(QDir(program.dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(FormMain->LogLines().size(), 1);
}

void TestEventLog::failedExportReportsAndLeavesNothing()
{
    ProgramFixture program;
    program.start();
    const QStringList before = FormMain->LogLines();
    // A path below a plain file fails even for a privileged user.
    const QString blocker = program.dir.filePath(u"plain-file"_s);
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = blocker + u"/log.txt"_s;
    const QString missingFolder = program.dir.filePath(u"missing/log.txt"_s);

    QVERIFY_THROWS_EXCEPTION(Exception, [&] {
        program.dialogs.saveAnswers.push_back(missingFolder);
        FormMain->Button1Click();
    }());

    // Through the button the exception display shows the message and the program goes on.
    program.dialogs.saveAnswers.push_back(path);
    QTimer::singleShot(0, FormMain->Button1, &QPushButton::click);
    QTRY_COMPARE(program.messages.messages.size(), 1);
    QCOMPARE(program.messages.messages.at(0).caption, u"Vantrel"_s);
    QCOMPARE(program.messages.messages.at(0).text, u"Cannot create file "_s + path);
    QCOMPARE(FormMain->LogLines(), before);
    QCOMPARE(QDir(program.dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({u"plain-file"_s}));
}

void TestEventLog::logViewIsBounded()
{
    ProgramFixture program;
    CreateProgramWindows();
    const int extra = 3;
    for (int i = 0; i < TFormMain::MaxLogLines + extra; ++i)
        FormMain->AddUntimedLine(QString::number(i));
    const QStringList lines = FormMain->LogLines();
    QCOMPARE(lines.size(), TFormMain::MaxLogLines);
    QCOMPARE(lines.constFirst(), QString::number(extra));
    QCOMPARE(lines.constLast(), QString::number(TFormMain::MaxLogLines + extra - 1));

    const QString longLine(4096, u'x');
    for (int i = 0; i < TFormMain::MaxLogCharacters / longLine.size() + extra; ++i)
        FormMain->AddUntimedLine(longLine + QString::number(i));
    const QStringList longLines = FormMain->LogLines();
    QVERIFY(longLines.join(u'\n').size() <= TFormMain::MaxLogCharacters);
    QVERIFY(longLines.size() > TFormMain::MaxLogCharacters / longLine.size() - extra);
    QCOMPARE(longLines.constLast(),
             longLine + QString::number(TFormMain::MaxLogCharacters / longLine.size() + extra - 1));
}

VANTREL_TEST_MAIN(TestEventLog)
#include "TestEventLog.moc"
