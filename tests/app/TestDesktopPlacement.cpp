// The real program on a real X display with a window manager: where its
// windows go, what "Save settings as default" writes of them, and where they
// come back on the next start.
#include "tests/support/BlackBox.h"
#include "tests/support/XDesktop.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
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

// The middle of the main window's "Snapshot Settings" button, under the menu bar.
constexpr QPoint SnapshotSettingsButton(297, 259);

// from: the local address to send from; another peer than 127.0.0.1 gets a box of its own at once.
bool sendLine(QTcpSocket &socket, quint16 port, const QByteArray &line, const QString &from = u"127.0.0.1"_s)
{
    socket.bind(QHostAddress(from));
    socket.connectToHost(u"127.0.0.1"_s, port);
    return socket.waitForConnected(5000) && socket.write(line) == line.size() && socket.waitForBytesWritten(5000);
}

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

    // Measured once framed: a window the window manager has only just mapped has no frame yet.
    QRect rectOf(const QString &title)
    {
        const quint64 window = desktop_.waitForWindow(title);
        return QTest::qWaitFor([&] { return desktop_.framed(window); }, 5000) ? desktop_.outerRect(window) : QRect();
    }

    QRect show(const Window &window)
    {
        desktop_.pressKeys(main_, QStringList{u"alt+t"_s} + window.menuKeys);
        return rectOf(window.title);
    }

    // Hides the main window and shows it again with the button of the small window that stands in for it.
    bool hideAndShow()
    {
        desktop_.pressKeys(main_, {u"alt+h"_s});
        const quint64 standIn = desktop_.waitForWindow(u"Vantrel"_s);
        desktop_.pressKeys(standIn, {u"alt+s"_s});
        return standIn != 0 && desktop_.waitForWindow(MainTitle) == main_;
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

    bool ends(int timeoutMs) { return program_.process().waitForFinished(timeoutMs); }

    // The program's standard error, or why there is none.
    QString log()
    {
        QProcess &process = program_.process();
        return program_.standardError() +
               QStringLiteral("[%1, %2]").arg(process.errorString()).arg(desktop_.waitForWindow(MainTitle, 0));
    }

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
    void dialogsOpenAboveTheirOwnerAndThePreview();
    void tallerTitleBarsKeepThePictureWhole();

private:
    XDesktop desktop_;
};

void TestDesktopPlacement::initTestCase()
{
    if (desktop_.start())
        return;
    const QString reason = u"no X display with a window manager: "_s + desktop_.error();
    // CI has the tools installed, so there a missing one is a broken set-up, not a reason to pass.
    if (desktop_.toolMissing() && qEnvironmentVariable("CI") != u"true"_s)
        QSKIP(qPrintable(reason));
    QFAIL(qPrintable(reason));
}

void TestDesktopPlacement::windowsComeBackWhereTheyWereSaved()
{
    const quint16 port = FreeServerPort();
    QByteArray saved = "[FormMain]\nEnabled=1\nPort=" + QByteArray::number(port) + "\n";
    const QRect screen(QPoint(0, 0), XDesktop::ScreenSize);
    QMap<QString, QRect> first;
    // The first start, then two rounds of saving and starting again.
    for (int start = 0; start < 3; ++start) {
        DesktopRun run(desktop_, saved);
        QVERIFY2(run.start(), qPrintable(run.log()));
        // The 320x240 test pattern in a frame of 15 by 30 more, from the start.
        QTRY_VERIFY2_WITH_TIMEOUT(previewSizeLine(port) == "Preview Image Size: 335x270",
                                  qPrintable(run.previewTrouble(port)), 15000);
        QCOMPARE(run.rectOf(PreviewTitle), QRect(0, 0, 335, 270));
        if (start == 0) {
            // Where the window manager puts it, or right of the preview when that is under it.
            QTRY_VERIFY_WITH_TIMEOUT(!run.rectOf(MainTitle).intersects(QRect(0, 0, 335, 270)), 5000);
            first.insert(MainTitle, run.rectOf(MainTitle));
            QVERIFY(run.hideAndShow());
            QTRY_COMPARE_WITH_TIMEOUT(run.rectOf(MainTitle), first.value(MainTitle), 5000);
            for (const Window &window : StatisticsWindows)
                run.show(window);
            // The statistics windows' own default places where those are clear of the preview and the main
            // window, else clear places; and the chart's default outer size, which it takes on once it knows
            // its frame.
            const QList<QRect> taken{QRect(0, 0, 335, 270), first.value(MainTitle)};
            const QList<QPoint> defaults{{0, 470}, {630, 470}, {255, 190}};
            QTRY_COMPARE(run.rectOf(StatisticsWindows[0].title).size(), QSize(622, 194));
            for (int n = 0; n < StatisticsWindows.size(); ++n) {
                const QString &title = StatisticsWindows[n].title;
                const QRect atDefault(defaults[n], run.rectOf(title).size());
                const bool defaultClear = !atDefault.intersects(taken[0]) && !atDefault.intersects(taken[1]);
                QTRY_VERIFY2(defaultClear
                                 ? run.rectOf(title) == atDefault
                                 : !run.rectOf(title).intersects(taken[0]) && !run.rectOf(title).intersects(taken[1]),
                             qPrintable(title + u" at "_s + QString::number(run.rectOf(title).x()) + u","_s +
                                        QString::number(run.rectOf(title).y())));
                first.insert(title, run.rectOf(title));
            }
            for (const QRect &rect : first)
                QVERIFY2(screen.contains(rect), qPrintable(first.key(rect)));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(run.rectOf(MainTitle), first.value(MainTitle), 5000);
            // Open when the settings were saved, so open again, where they were.
            for (const Window &window : StatisticsWindows)
                QTRY_COMPARE_WITH_TIMEOUT(run.rectOf(window.title), first.value(window.title), 5000);
        }

        QVERIFY2(run.saveSettings(), qPrintable(run.log()));
        saved = run.settings();
        QCOMPARE(savedRect(saved, u"FormMain"_s, first.value(MainTitle).size()), first.value(MainTitle));
        for (const Window &window : StatisticsWindows)
            QCOMPARE(savedRect(saved, window.section, first.value(window.title).size()), first.value(window.title));
    }

    // With only its Left valid the main window keeps the top edge the window manager chooses.
    const QRect main = first.value(MainTitle);
    const QByteArray mainPlace = "Top=" + QByteArray::number(main.top()) + "\nLeft=" + QByteArray::number(main.left());
    QVERIFY(saved.indexOf(mainPlace) == saved.indexOf("Top="));
    saved.replace(saved.indexOf(mainPlace), mainPlace.size(), "Top=-1\nLeft=" + QByteArray::number(main.left() + 40));
    DesktopRun run(desktop_, saved);
    QVERIFY2(run.start(), qPrintable(run.log()));
    QTRY_COMPARE_WITH_TIMEOUT(run.rectOf(MainTitle), main.translated(40, 0), 5000);
}

// Each dialog and message box belongs to the window it came from and opens
// above it and, but for a message someone else sent, above the always-on-top
// preview.
void TestDesktopPlacement::dialogsOpenAboveTheirOwnerAndThePreview()
{
    const quint16 port = FreeServerPort();
    DesktopRun run(desktop_, "[FormMain]\nEnabled=1\nPort=" + QByteArray::number(port) +
                                 "\n[FormPublish]\nHandle=cam1\n[FormSnapshotSettings]\nFTP=1\n");
    QVERIFY2(run.start(), qPrintable(run.log()));
    const quint64 main = desktop_.waitForWindow(MainTitle);
    const quint64 preview = desktop_.waitForWindow(PreviewTitle);
    // Above its owner and fully on the screen; above the preview too, or else not above the windows of every
    // other program.
    const auto aboveOwnerAndPreview = [&](quint64 window, quint64 owner, bool abovePreview = true) {
        const QList<quint64> stack = desktop_.stackingOrder();
        return window && desktop_.ownerOf(window) == owner && stack.indexOf(window) > stack.indexOf(owner) &&
               (abovePreview ? stack.indexOf(window) > stack.indexOf(preview) : !desktop_.staysOnTop(window)) &&
               QRect(QPoint(0, 0), XDesktop::ScreenSize).contains(desktop_.outerRect(window));
    };
    // The window manager may take a moment to stack and frame a window it has just mapped.
    const auto gone = [&](const QString &title) { return desktop_.waitForWindow(title, 0) == 0; };
    const auto opensAbove = [&](const QString &title, quint64 owner, bool abovePreview = true) -> quint64 {
        const quint64 window = desktop_.waitForWindow(title);
        return QTest::qWaitFor([&] { return aboveOwnerAndPreview(window, owner, abovePreview); }, 5000) ? window : 0;
    };

    // Two messages from two peers: the second box one step below and right of the first. A box someone else
    // opened is above the main window, but not above the windows of every other program.
    const QString peers[2]{u"127.0.0.1"_s, u"127.0.0.2"_s};
    QTcpSocket senders[2];
    quint64 boxes[2]{};
    for (int i = 0; i < 2; ++i) {
        QVERIFY(sendLine(senders[i], port, "MSG:" + QByteArray::number(i) + "\n", peers[i]));
        QVERIFY((boxes[i] = opensAbove(peers[i], main, false)) != 0);
    }
    QTRY_COMPARE(desktop_.outerRect(boxes[1]).topLeft(), desktop_.outerRect(boxes[0]).topLeft() + QPoint(24, 24));
    // The main window still answers while peers' boxes are open.
    desktop_.pressKeys(main, QStringList{u"alt+t"_s} + StatisticsWindows[0].menuKeys);
    QVERIFY(desktop_.waitForWindow(StatisticsWindows[0].title));
    desktop_.pressKeys(boxes[1], {u"Return"_s});
    desktop_.pressKeys(boxes[0], {u"Return"_s});
    QTRY_VERIFY(gone(peers[0]) && gone(peers[1]));

    desktop_.pressKeys(main, {u"alt+p"_s, u"Return"_s});
    const quint64 publish = opensAbove(u"Publish Control Panel"_s, main);
    QVERIFY(publish);
    desktop_.pressKeys(publish, {u"alt+m"_s});
    const quint64 manualIP = opensAbove(u"Enter IP Address"_s, publish);
    QVERIFY(manualIP);
    // Enter is OK; the URL carries "192.168.1.1", which publishing refuses as private.
    desktop_.pressKeys(manualIP, u"1 9 2 1 6 8 0 0 1 0 0 1 Return"_s.split(u' '));
    const quint64 reminder = opensAbove(u"Reminder"_s, manualIP);
    QVERIFY(reminder);
    desktop_.pressKeys(reminder, {u"Return"_s});
    QTRY_VERIFY(gone(u"Enter IP Address"_s));
    desktop_.pressKeys(publish, {u"Tab"_s, u"Tab"_s, u"End"_s, u"alt+p"_s});
    const quint64 refusal = opensAbove(u"Invalid URL"_s, publish);
    QVERIFY2(refusal, qPrintable(run.log()));
    desktop_.pressKeys(refusal, {u"Return"_s});
    desktop_.pressKeys(publish, {u"alt+c"_s});
    QTRY_VERIFY(gone(u"Publish Control Panel"_s));

    // The File menu's windows stay above the main window when it is clicked.
    for (const auto &[title, key] : {std::pair{u"Go Live"_s, u"g"_s}, {u"Recording"_s, u"r"_s}, {u"HTTPS"_s, u"t"_s}}) {
        desktop_.pressKeys(main, {u"alt+f"_s, key});
        const quint64 window = opensAbove(title, main);
        QVERIFY2(window, qPrintable(title));
        desktop_.click(main, QPoint(60, 120));
        QVERIFY(!QTest::qWaitFor([&] { return !aboveOwnerAndPreview(window, main); }, 500));
        desktop_.pressKeys(window, {u"Escape"_s});
        QTRY_VERIFY(gone(title));
    }

    // "Snapshot Settings" has no key of its own: its button is clicked.
    desktop_.click(main, SnapshotSettingsButton);
    const quint64 snapshotSettings = opensAbove(u"Snapshot Settings"_s, main);
    QVERIFY(snapshotSettings);
    // A click on the preview, on its picture or its title bar, does not bring it over the dialog. Nothing
    // shows that the click has been dealt with, so the dialog is watched for a while after it.
    for (const QPoint point : {QPoint(100, 100), QPoint(100, -10)}) {
        desktop_.click(preview, point);
        QVERIFY(!QTest::qWaitFor([&] { return !aboveOwnerAndPreview(snapshotSettings, main); }, 500));
        QTRY_VERIFY(aboveOwnerAndPreview(snapshotSettings, main));
    }

    // The dialog would refuse to close, FTP being on with no address; closing the preview ends the program all
    // the same.
    desktop_.close(preview);
    QVERIFY2(run.ends(2000), qPrintable(run.log()));
}

// A title bar taller than the 30 pixels the preview's size allows for: the window grows by the difference and
// the whole picture stays in view. The frame changes while the program runs (another title font): the
// program's own sizes follow it, a size the person gave is kept.
void TestDesktopPlacement::tallerTitleBarsKeepThePictureWhole()
{
    const quint16 port = FreeServerPort();
    DesktopRun run(desktop_, "[FormMain]\nEnabled=1\nPort=" + QByteArray::number(port) + "\n");
    QVERIFY2(run.start(), qPrintable(run.log()));
    QTRY_VERIFY2_WITH_TIMEOUT(previewSizeLine(port) == "Preview Image Size: 335x270",
                              qPrintable(run.previewTrouble(port)), 15000);
    const Window &chart = StatisticsWindows[0];
    QTRY_COMPARE(run.show(chart).size(), QSize(622, 194));
    const quint64 chartWindow = desktop_.waitForWindow(chart.title);
    desktop_.resize(chartWindow, QSize(560, 150));
    QTRY_COMPARE(desktop_.clientRect(chartWindow).size(), QSize(560, 150));

    const auto usualFont = qScopeGuard([this] { desktop_.setTitleFontSize(8); });
    QVERIFY(desktop_.setTitleFontSize(22)); // a title bar of 42 pixels, and 5 below
    QTRY_COMPARE_WITH_TIMEOUT(previewSizeLine(port), "Preview Image Size: 335x287"_ba, 5000);
    const quint64 preview = desktop_.waitForWindow(PreviewTitle);
    QCOMPARE(desktop_.clientRect(preview).size(), QSize(333, 240));
    QTRY_VERIFY(QRect(QPoint(0, 0), XDesktop::ScreenSize).contains(desktop_.outerRect(preview)));
    QCOMPARE(desktop_.clientRect(chartWindow).size(), QSize(560, 150));
}

QTEST_GUILESS_MAIN(TestDesktopPlacement)
#include "TestDesktopPlacement.moc"
