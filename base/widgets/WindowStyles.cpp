#include "base/widgets/WindowStyles.h"

#include "base/widgets/DialogsOnTop.h"
#include "base/widgets/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace windowstyle {

namespace {

constexpr Qt::WindowFlags TitleOnly = Qt::CustomizeWindowHint | Qt::WindowTitleHint;

void setFixed(QWidget *window, Qt::WindowFlags flags, int clientWidth, int clientHeight)
{
    window->setWindowFlags(flags);
    window->setFixedSize(clientWidth, clientHeight);
}

void setSizeable(QWidget *window, Qt::WindowFlags flags, int width, int height)
{
    window->setWindowFlags(flags);
    window->resize(width, height);
}

void setSizeableOuter(QWidget *window, Qt::WindowFlags flags, int width, int height)
{
    window->setWindowFlags(flags);
    windowplacement::ResizeOuter(window, QSize(width, height));
    NeverMinimised(window);
}

// Takes a window out of the minimised state as soon as it gets there.
class Unminimiser : public QObject {
public:
    explicit Unminimiser(QWidget *window) : QObject(window), window_(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Restored once the change has gone through, not in the middle of it.
        if (watched == window_ && event->type() == QEvent::WindowStateChange && window_->isMinimized())
            QMetaObject::invokeMethod(
                this, [this] { window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized); },
                Qt::QueuedConnection);
        return false;
    }

private:
    QWidget *window_;
};

} // namespace

void FixedWithCloseBox(QWidget *window, int clientWidth, int clientHeight)
{
    setFixed(window, Qt::Window | TitleOnly | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint, clientWidth,
             clientHeight);
}

void DialogWithCloseBox(QWidget *window, int clientWidth, int clientHeight)
{
    setFixed(window, Qt::Dialog | TitleOnly | Qt::WindowCloseButtonHint, clientWidth, clientHeight);
}

void DialogWithoutButtons(QWidget *window, int clientWidth, int clientHeight)
{
    setFixed(window, Qt::Dialog | TitleOnly, clientWidth, clientHeight);
}

void FixedWithoutButtons(QWidget *window, int clientWidth, int clientHeight)
{
    setFixed(window, Qt::Window | TitleOnly, clientWidth, clientHeight);
}

void ToolWindowOnTop(QWidget *window, int width, int height)
{
    setSizeableOuter(window, Qt::Tool | TitleOnly | Qt::WindowStaysOnTopHint, width, height);
}

void ToolWindowWithCloseBox(QWidget *window, int width, int height)
{
    setSizeableOuter(window, Qt::Tool | TitleOnly | Qt::WindowCloseButtonHint, width, height);
}

void SizeableWithoutButtons(QWidget *window, int width, int height)
{
    setSizeable(window, Qt::Window | TitleOnly, width, height);
}

void NeverMinimised(QWidget *window) { new Unminimiser(window); }

void UseCompactFont(QWidget *window)
{
    QFont font = window->font();
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica")});
    font.setPixelSize(11);
    window->setFont(font);
}

void CentreOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = windowplacement::OuterRect(window);
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void ActsAsModalDialog(QWidget *window)
{
    // A window manager keeps only dialogs above the window they belong to.
    const Qt::WindowFlags hints = window->windowFlags() & ~Qt::WindowType_Mask;
    window->setWindowFlags(hints | Qt::Dialog | Qt::WindowStaysOnTopHint);
    dialogsontop::Keep(window);
}

void OwnedBy(QWidget *window, const QWidget *owner)
{
    if (!owner)
        return;
    window->winId(); // the window's native window, to be given its owner before it is mapped
    QWindow *ownerWindow = owner->window()->windowHandle();
    if (QWindow *handle = window->windowHandle(); handle && ownerWindow && ownerWindow != handle)
        handle->setTransientParent(ownerWindow);
}

} // namespace windowstyle
