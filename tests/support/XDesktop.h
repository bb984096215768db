#pragma once

#include <QList>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct xcb_connection_t;

// A real X display with a window manager (Xvfb and openbox), started for a
// test and ended with it. Windows are found and measured over a connection of
// its own, and typed into and clicked with xdotool.
class XDesktop {
public:
    XDesktop() = default;
    ~XDesktop();
    XDesktop(const XDesktop &) = delete;
    XDesktop &operator=(const XDesktop &) = delete;

    // False, with the reason in error(), when a tool is missing or the display
    // or the window manager did not come up.
    bool start();
    QString error() const { return error_; }
    // Whether the last start failed for want of a tool rather than on the way up.
    bool toolMissing() const { return toolMissing_; }
    QString display() const { return display_; }

    // The visible window whose title is exactly this, waiting for it to appear; 0 when none did.
    quint64 waitForWindow(const QString &title, int timeoutMs = 15000);
    // Whether the window manager has put its frame around the window (and said how wide it is).
    bool framed(quint64 window);
    // The window's client area, and its outer rectangle: the client area and the frame the window manager reports.
    QRect clientRect(quint64 window);
    QRect outerRect(quint64 window);
    // Asks the window manager to close the window, as its title bar's menu does.
    void close(quint64 window);
    // Asks the window manager for another size of the window's client area, as a drag on its border does.
    void resize(quint64 window, QSize client);
    // Gives the window the focus and presses the keys (xdotool's key names) one after the other.
    void pressKeys(quint64 window, const QStringList &keys);
    // Clicks at the point of the window's client area, as a hand on the mouse would: through whatever
    // the window manager does with a click, without giving the window the focus first.
    void click(quint64 window, QPoint point);
    // The windows the window manager manages, from the bottom of the stack to the top.
    QList<quint64> stackingOrder();
    // The window this one belongs to (its transient parent); 0 when none.
    quint64 ownerOf(quint64 window);
    // Whether the window manager keeps the window above the windows of every other program.
    bool staysOnTop(quint64 window);
    // Gives every window's title the font of this size, in points, as a person choosing another theme would.
    bool setTitleFontSize(int points);

    static constexpr QSize ScreenSize{1280, 1024};

private:
    QList<quint64> visibleWindows(const QString &title);
    quint32 atom(const char *name);
    QByteArray property(quint64 window, const char *name);
    bool writeWindowManagerSettings(int titlePoints);
    // The property's 32-bit values: windows, atoms or numbers.
    QList<quint64> cardinals(quint64 window, const char *name);
    void xdotool(const QStringList &arguments);

    xcb_connection_t *connection_ = nullptr;
    quint32 root_ = 0;
    QProcess server_;
    QProcess windowManager_;
    QTemporaryDir settings_;
    QString display_;
    QString error_;
    bool toolMissing_ = false;
};
