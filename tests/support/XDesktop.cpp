#include "tests/support/XDesktop.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace {

constexpr int StartTimeoutMs = 15000;
constexpr int PollMs = 20;

void end(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QList<quint64> windowIds(const QByteArray &xpropLine)
{
    QList<quint64> ids;
    static const QRegularExpression id(QStringLiteral("0x[0-9a-fA-F]+"));
    for (QRegularExpressionMatchIterator it = id.globalMatch(QString::fromLatin1(xpropLine)); it.hasNext();)
        ids << it.next().captured().toULongLong(nullptr, 16);
    return ids;
}

int numberAfter(const QByteArray &text, const QString &label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"));
    return pattern.match(QString::fromUtf8(text)).captured(1).toInt();
}

// The display and its window manager end with the test even when the test is killed.
void endWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

} // namespace

XDesktop::~XDesktop()
{
    end(windowManager_);
    end(server_);
}

bool XDesktop::start()
{
    toolMissing_ = false;
    for (const char *tool : {"Xvfb", "openbox", "xdotool", "xwininfo", "xprop"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            error_ = QStringLiteral("%1 is not installed (scripts/setup.sh installs it)").arg(QLatin1String(tool));
            toolMissing_ = true;
            return false;
        }
    }

    // The server picks a free display number and writes it to its standard output.
    server_.setProgram(QStringLiteral("Xvfb"));
    server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"),
                          QStringLiteral("%1x%2x24").arg(ScreenSize.width()).arg(ScreenSize.height()),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    endWithParent(server_);
    server_.start();
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!server_.canReadLine() && !deadline.hasExpired() && server_.state() != QProcess::NotRunning)
        server_.waitForReadyRead(PollMs);
    const QByteArray number = server_.readLine().trimmed();
    if (number.isEmpty()) {
        error_ = QStringLiteral("Xvfb did not start: ") + QString::fromUtf8(server_.readAllStandardError());
        return false;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    windowManager_.setProcessEnvironment(environment);
    windowManager_.setProgram(QStringLiteral("openbox"));
    windowManager_.setArguments({QStringLiteral("--sm-disable")});
    endWithParent(windowManager_);
    windowManager_.start();
    while (!run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains("window id")) {
        if (deadline.hasExpired() || windowManager_.state() == QProcess::NotRunning) {
            error_ =
                QStringLiteral("openbox did not start: ") + QString::fromUtf8(windowManager_.readAllStandardError());
            return false;
        }
        QThread::msleep(PollMs);
    }
    return true;
}

QByteArray XDesktop::run(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    process.setProcessEnvironment(environment);
    process.start(tool, arguments);
    if (!process.waitForFinished(StartTimeoutMs)) {
        end(process);
        return {};
    }
    return process.readAllStandardOutput();
}

QList<quint64> XDesktop::visibleWindows(const QString &title)
{
    // xdotool reads a POSIX regular expression, which has fewer special characters than Qt's.
    QString exactTitle = QStringLiteral("^");
    for (const QChar c : title)
        exactTitle += QStringLiteral(".[]()*+?{}|^$\\").contains(c) ? QStringLiteral("\\") + c : QString(c);
    exactTitle += QLatin1Char('$');
    QList<quint64> windows;
    const QByteArray found = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                             QStringLiteral("--name"), exactTitle});
    for (const QByteArray &line : found.split('\n'))
        if (const quint64 window = line.trimmed().toULongLong())
            windows << window;
    return windows;
}

quint64 XDesktop::waitForWindow(const QString &title, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QList<quint64> windows = visibleWindows(title);
        if (!windows.isEmpty() || deadline.hasExpired())
            return windows.value(0);
        QThread::msleep(PollMs);
    }
}

quint64 XDesktop::otherWindow(const QString &title, quint64 window)
{
    for (const quint64 other : visibleWindows(title))
        if (other != window)
            return other;
    return 0;
}

QRect XDesktop::outerRect(quint64 window)
{
    const QString id = QString::number(window);
    const QByteArray info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
    const QRect client(numberAfter(info, QStringLiteral("Absolute upper-left X")),
                       numberAfter(info, QStringLiteral("Absolute upper-left Y")),
                       numberAfter(info, QStringLiteral("Width")), numberAfter(info, QStringLiteral("Height")));
    // left, right, top, bottom
    const QByteArray extents =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QList<QByteArray> frame = extents.mid(extents.indexOf('=') + 1).split(',');
    if (frame.size() != 4)
        return client;
    return client.adjusted(-frame[0].trimmed().toInt(), -frame[2].trimmed().toInt(), frame[1].trimmed().toInt(),
                           frame[3].trimmed().toInt());
}

void XDesktop::pressKeys(quint64 window, const QStringList &keys)
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
    // Keys that arrive while a menu opens still reach it: the toolkit sends them to the open popup.
    QStringList arguments{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("12")};
    run(QStringLiteral("xdotool"), arguments + keys);
}

void XDesktop::click(quint64 window, QPoint point)
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"), QString::number(window),
         QString::number(point.x()), QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")});
}

QList<quint64> XDesktop::stackingOrder()
{
    return windowIds(
        run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")}));
}

quint64 XDesktop::ownerOf(quint64 window)
{
    const QList<quint64> owner = windowIds(run(
        QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_TRANSIENT_FOR")}));
    return owner.isEmpty() ? 0 : owner.constFirst();
}
