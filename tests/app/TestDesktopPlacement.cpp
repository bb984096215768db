// The real program on a real X display with a window manager: where its
// windows go, what "Save settings as default" writes of them, and where they
// come back on the next start.
#include "tests/support/BlackBox.h"
#include "tests/support/XDesktop.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int TimeoutMs = 30000;

const QString MainTitle = u"Vantrel v1.4.3"_s;
const QString PreviewTitle = u"Capture Preview"_s;

struct Window {
    QString title;
    QString section;
    QStringList menuKeys; // from the main window, after alt+t opened "S&tatistics"
};

const QList<Window> StatisticsWindows{
    {u"Vantrel Statistics"_s, u"FormChart"_s, {u"Return"_s}},
    {u"Last 10 Requesting IP's"_s, u"FormRequestedIPs"_s, {u"Down"_s, u"Return"_s}},
    {u"Bandwidth"_s, u"FormBandwidth"_s, {u"Down"_s, u"Down"_s, u"Return"_s}},
};

QByteArray askStatus(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("STATUS\n");
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000)) {
    }
    return socket.readAll();
}

QByteArray previewSizeLine(quint16 port)
{
    const QRegularExpression line(u"Preview Image Size: \\S*"_s);
    return line.match(QString::fromLatin1(askStatus(port))).captured().toLatin1();
}

int iniValue(const QByteArray &ini, const QString &section, const QString &key)
{
    const QString text = QString::fromLatin1(ini);
    const qsizetype start = text.indexOf(u'[' + section + u']');
    const QRegularExpression pattern(u"\\n"_s + key + u"=(-?\\d+)"_s);
    const QRegularExpressionMatch match = pattern.match(text, start < 0 ? text.size() : start);
    return match.hasMatch() ? match.captured(1).toInt() : -999;
}

QRect savedRect(const QByteArray &ini, const QString &section, QSize unsaved)
{
    const int width = section == u"FormChart"_s ? iniValue(ini, section, u"Width"_s) : unsaved.width();
    const int height = section == u"FormChart"_s ? iniValue(ini, section, u"Height"_s) : unsaved.height();
    return {iniValue(ini, section, u"Left"_s), iniValue(ini, section, u"Top"_s), width, height};
}

// One run of the program on the desktop; windows are measured as the window manager framed them.
class DesktopRun {
public:
    DesktopRun(XDesktop &desktop, const QByteArray &settings) : desktop_(desktop), program_(settings)
    {
        program_.setEnvironment(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        program_.setEnvironment(u"DISPLAY"_s, desktop.display());
    }

    bool start()
    {
        return program_.start() && program_.waitForLogLineEndingWith(u"Initialization Successful"_s, TimeoutMs) &&
               (main_ = desktop_.waitForWindow(MainTitle)) != 0 && desktop_.waitForWindow(PreviewTitle) != 0;
    }

    QRect rectOf(const QString &title) { return desktop_.outerRect(desktop_.waitForWindow(title)); }

    QRect show(const Window &window)
    {
        desktop_.pressKeys(main_, QStringList{u"alt+t"_s} + window.menuKeys);
        return rectOf(window.title);
    }

    bool saveSettings()
    {
        desktop_.pressKeys(main_, {u"alt+f"_s, u"Return"_s});
        const quint64 box = desktop_.waitForWindow(u"Saved Defaults"_s);
        desktop_.pressKeys(box, {u"Return"_s});
        return box != 0 && program_.waitForLogLineEndingWith(u"Saved default settings"_s, TimeoutMs);
    }

    QByteArray settings()
    {
        QFile file(program_.settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString log() { return program_.standardError(); }

    // What went wrong when the preview is not its size: the size reported, the
    // size on screen, and the end of the log (the start is always the same).
    QString previewTrouble(quint16 port)
    {
        const QRect preview = rectOf(PreviewTitle);
        return QStringLiteral("%1; on screen %2x%3 at %4,%5; log: %6")
            .arg(QString::fromLatin1(previewSizeLine(port)))
            .arg(preview.width())
            .arg(preview.height())
            .arg(preview.x())
            .arg(preview.y())
            .arg(log().right(1500));
    }

private:
    XDesktop &desktop_;
    BlackBoxVantrel program_;
    quint64 main_ = 0;
};

} // namespace

class TestDesktopPlacement : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowsComeBackWhereTheyWereSaved();

private:
    XDesktop desktop_;
};

void TestDesktopPlacement::initTestCase()
{
    if (!desktop_.start())
        QSKIP(qPrintable(u"no X display with a window manager: "_s + desktop_.error()));
}

void TestDesktopPlacement::windowsComeBackWhereTheyWereSaved()
{
    const quint16 port = FreeServerPort();
    const QByteArray server = "[FormMain]\nEnabled=1\nPort=" + QByteArray::number(port) + "\n";
    QMap<QString, QRect> first;
    QByteArray saved;
    {
        DesktopRun run(desktop_, server);
        QVERIFY2(run.start(), qPrintable(run.log()));
        // The 320x240 test pattern in a frame of 15 by 30 more, from the start.
        QTRY_VERIFY2_WITH_TIMEOUT(previewSizeLine(port) == "Preview Image Size: 335x270", qPrintable(run.previewTrouble(port)),
                                  15000);
        QCOMPARE(run.rectOf(PreviewTitle), QRect(0, 0, 335, 270));

        first.insert(MainTitle, run.rectOf(MainTitle));
        for (const Window &window : StatisticsWindows)
            first.insert(window.title, run.show(window));
        QCOMPARE(first.value(StatisticsWindows[0].title), QRect(0, 470, 622, 194));
        QCOMPARE(first.value(StatisticsWindows[1].title).topLeft(), QPoint(630, 470));
        QCOMPARE(first.value(StatisticsWindows[2].title).topLeft(), QPoint(255, 190));
        for (const QString &title : {MainTitle, StatisticsWindows[0].title, StatisticsWindows[1].title})
            QVERIFY2(!first.value(title).intersects(QRect(0, 0, 335, 270)), qPrintable(title));

        QVERIFY2(run.saveSettings(), qPrintable(run.log()));
        saved = run.settings();
        QCOMPARE(savedRect(saved, u"FormMain"_s, first.value(MainTitle).size()), first.value(MainTitle));
        for (const Window &window : StatisticsWindows)
            QCOMPARE(savedRect(saved, window.section, first.value(window.title).size()), first.value(window.title));
    }

    // The next start puts every window back; with only its Left valid the main
    // window keeps the top edge the window manager chooses.
    const QRect main = first.value(MainTitle);
    const QByteArray mainPlace = "Top=" + QByteArray::number(main.top()) + "\nLeft=" + QByteArray::number(main.left());
    QVERIFY(saved.indexOf(mainPlace) == saved.indexOf("Top="));
    saved.replace(saved.indexOf(mainPlace), mainPlace.size(), "Top=-1\nLeft=" + QByteArray::number(main.left() + 40));
    DesktopRun run(desktop_, saved);
    QVERIFY2(run.start(), qPrintable(run.log()));
    QTRY_COMPARE_WITH_TIMEOUT(run.rectOf(MainTitle), main.translated(40, 0), 5000);
    QTRY_VERIFY2_WITH_TIMEOUT(previewSizeLine(port) == "Preview Image Size: 335x270", qPrintable(run.previewTrouble(port)),
                                  15000);
    for (const Window &window : StatisticsWindows)
        QCOMPARE(run.show(window), first.value(window.title));
}

QTEST_GUILESS_MAIN(TestDesktopPlacement)
#include "TestDesktopPlacement.moc"
