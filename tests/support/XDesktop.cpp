#include "tests/support/XDesktop.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <sys/prctl.h>
#include <xcb/xcb.h>

using namespace Qt::StringLiterals;

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

// The display and its window manager end with the test even when the test is killed.
void endWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

template <typename Reply> using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> Owned<Reply> owned(Reply *reply) { return Owned<Reply>(reply, &std::free); }

} // namespace

XDesktop::~XDesktop()
{
    if (connection_)
        xcb_disconnect(connection_);
    end(windowManager_);
    end(server_);
}

bool XDesktop::start()
{
    toolMissing_ = false;
    for (const char *tool : {"Xvfb", "openbox", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            error_ = u"%1 is not installed (scripts/setup.sh installs it)"_s.arg(QLatin1String(tool));
            toolMissing_ = true;
            return false;
        }
    }

    // The server picks a free display number and writes it to its standard output.
    server_.setProgram(u"Xvfb"_s);
    server_.setArguments({u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s,
                          u"%1x%2x24"_s.arg(ScreenSize.width()).arg(ScreenSize.height()), u"-nolisten"_s, u"tcp"_s});
    endWithParent(server_);
    server_.start();
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!server_.canReadLine() && !deadline.hasExpired() && server_.state() != QProcess::NotRunning)
        server_.waitForReadyRead(PollMs);
    const QByteArray number = server_.readLine().trimmed();
    if (number.isEmpty()) {
        error_ = u"Xvfb did not start: "_s + QString::fromUtf8(server_.readAllStandardError());
        return false;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number);
    connection_ = xcb_connect(display_.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(connection_)) {
        error_ = u"no connection to the display "_s + display_;
        return false;
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, display_);
    windowManager_.setProcessEnvironment(environment);
    windowManager_.setProgram(u"openbox"_s);
    if (!writeWindowManagerSettings(8)) {
        error_ = u"no openbox settings to start from in /etc/xdg/openbox"_s;
        return false;
    }
    windowManager_.setArguments({u"--sm-disable"_s, u"--config-file"_s, settings_.filePath(u"rc.xml"_s)});
    endWithParent(windowManager_);
    windowManager_.start();
    while (cardinals(root_, "_NET_SUPPORTING_WM_CHECK").isEmpty()) {
        if (deadline.hasExpired() || windowManager_.waitForFinished(PollMs)) {
            error_ = u"openbox did not start: "_s + QString::fromUtf8(windowManager_.readAllStandardError());
            return false;
        }
    }
    return true;
}

void XDesktop::xdotool(const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(windowManager_.processEnvironment()); // the one with this DISPLAY
    process.start(u"xdotool"_s, arguments);
    if (!process.waitForFinished(StartTimeoutMs))
        end(process);
}

quint32 XDesktop::atom(const char *name)
{
    const auto reply = owned(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 1, static_cast<quint16>(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

QByteArray XDesktop::property(quint64 window, const char *name)
{
    const xcb_atom_t named = atom(name);
    if (named == XCB_ATOM_NONE)
        return {};
    const auto reply = owned(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, static_cast<xcb_window_t>(window), named, XCB_ATOM_ANY, 0, 1 << 16), nullptr));
    if (!reply)
        return {};
    return {static_cast<const char *>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get())};
}

QList<quint64> XDesktop::cardinals(quint64 window, const char *name)
{
    const QByteArray value = property(window, name);
    QList<quint64> windows;
    for (qsizetype at = 0; at + 4 <= value.size(); at += 4)
        windows << *reinterpret_cast<const quint32 *>(value.constData() + at);
    return windows;
}

QList<quint64> XDesktop::visibleWindows(const QString &title)
{
    // Every window on the display, in the order of the tree, as xdotool searches them.
    QList<quint64> windows;
    QList<xcb_window_t> pending{root_};
    while (!pending.isEmpty()) {
        const xcb_window_t window = pending.takeFirst();
        const auto attributes = owned(
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
            QByteArray name = property(window, "_NET_WM_NAME");
            if (name.isEmpty())
                name = property(window, "WM_NAME");
            if (!name.isEmpty() && QString::fromUtf8(name) == title)
                windows << window;
        }
        const auto tree = owned(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
        if (tree) {
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            pending = QList<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get())) + pending;
        }
    }
    // Windows that went while the tree was walked leave errors behind.
    while (xcb_generic_event_t *error = xcb_poll_for_event(connection_))
        std::free(error);
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

bool XDesktop::framed(quint64 window) { return cardinals(window, "_NET_FRAME_EXTENTS").size() == 4; }

QRect XDesktop::clientRect(quint64 window)
{
    const auto id = static_cast<xcb_window_t>(window);
    const auto geometry = owned(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, id), nullptr));
    const auto place = owned(
        xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, id, root_, 0, 0), nullptr));
    if (!geometry || !place)
        return {};
    return {place->dst_x, place->dst_y, geometry->width, geometry->height};
}

QRect XDesktop::outerRect(quint64 window)
{
    const QRect client = clientRect(window);
    const QList<quint64> frame = cardinals(window, "_NET_FRAME_EXTENTS"); // left, right, top, bottom
    if (client.isNull() || frame.size() != 4)
        return client;
    return client.adjusted(-static_cast<int>(frame[0]), -static_cast<int>(frame[2]), static_cast<int>(frame[1]),
                           static_cast<int>(frame[3]));
}

void XDesktop::pressKeys(quint64 window, const QStringList &keys)
{
    xdotool({u"windowactivate"_s, u"--sync"_s, QString::number(window)});
    // Keys that arrive while a menu opens still reach it: the toolkit sends them to the open popup.
    xdotool(QStringList{u"key"_s, u"--delay"_s, u"12"_s} + keys);
}

void XDesktop::click(quint64 window, QPoint point)
{
    xdotool({u"mousemove"_s, u"--sync"_s, u"--window"_s, QString::number(window), QString::number(point.x()),
             QString::number(point.y()), u"click"_s, u"1"_s});
}

QList<quint64> XDesktop::stackingOrder() { return cardinals(root_, "_NET_CLIENT_LIST_STACKING"); }

quint64 XDesktop::ownerOf(quint64 window) { return cardinals(window, "WM_TRANSIENT_FOR").value(0); }

bool XDesktop::staysOnTop(quint64 window)
{
    return cardinals(window, "_NET_WM_STATE").contains(atom("_NET_WM_STATE_ABOVE"));
}

// Debian's own openbox settings, with the title font of the size given.
bool XDesktop::writeWindowManagerSettings(int titlePoints)
{
    QFile original(u"/etc/xdg/openbox/rc.xml"_s);
    QFile settings(settings_.filePath(u"rc.xml"_s));
    if (!original.open(QIODevice::ReadOnly) || !settings.open(QIODevice::WriteOnly))
        return false;
    QString text = QString::fromUtf8(original.readAll());
    const QRegularExpression titleSize(
        u"<font place=\"(?:Active|Inactive)Window\">[^<]*<name>[^<]*</name>\\s*<size>\\K\\d+"_s);
    text.replace(titleSize, QString::number(titlePoints));
    return settings.write(text.toUtf8()) > 0;
}

// openbox reads its settings again on SIGUSR2, as "openbox --reconfigure" asks it to.
bool XDesktop::setTitleFontSize(int points)
{
    return writeWindowManagerSettings(points) && ::kill(static_cast<pid_t>(windowManager_.processId()), SIGUSR2) == 0;
}

void XDesktop::close(quint64 window)
{
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window);
    message.type = atom("_NET_CLOSE_WINDOW");
    message.data.data32[1] = 2; // from a pager, which the window manager obeys at once
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection_);
}

void XDesktop::resize(quint64 window, QSize client)
{
    xdotool(
        {u"windowsize"_s, QString::number(window), QString::number(client.width()), QString::number(client.height())});
}
