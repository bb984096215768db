#include "base/widgets/WindowPlacement.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <utility>

namespace windowplacement {

namespace {

// The frame as the window system knows it now. A widget refreshes its own
// idea of the frame only when it moves or is resized, so a frame the window
// manager announces after the last of those would go unseen there.
QMargins frameMargins(const QWidget *window)
{
    if (const QWindow *handle = window->windowHandle(); handle && window->isVisible())
        return handle->frameMargins();
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

QSize frameSize(const QWidget *window)
{
    const QMargins frame = frameMargins(window);
    return {frame.left() + frame.right(), frame.top() + frame.bottom()};
}

// The window's helper of this kind, if it has one.
template <typename Helper> Helper *helperOf(const QWidget *window)
{
    for (QObject *child : window->children())
        if (auto *helper = dynamic_cast<Helper *>(child))
            return helper;
    return nullptr;
}

// Keeps a window's outer size when the window manager frames it: the client
// area gives up what the frame takes. The window system sends no event of its
// own when only the frame changes, so until the window has kept its size in a
// known frame for a while the frame is looked at again now and then. Until
// then a size the window manager reports is taken for one it had before it saw
// the size asked for; after that it is the person's own.
class FrameFollower : public QObject {
public:
    explicit FrameFollower(QWidget *window) : QObject(window), window_(window)
    {
        window->installEventFilter(this);
        recheck_.setInterval(RecheckMs);
        connect(&recheck_, &QTimer::timeout, this, [this] {
            if (++rechecks_ >= UnframedRechecks)
                recheck_.stop();
            follow(true);
        });
    }

    static FrameFollower *of(QWidget *window)
    {
        auto *follower = helperOf<FrameFollower>(window);
        return follower ? follower : new FrameFollower(window);
    }

    void resizeTo(QSize outer)
    {
        outer_ = outer;
        frame_ = frameSize(window_);
        settle();
        window_->resize(outer - frame_);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != window_)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            settle();
            watchScreen();
            [[fallthrough]];
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            follow();
            break;
        default:
            break;
        }
        return false;
    }

private:
    static constexpr int RecheckMs = 100;
    static constexpr int UnframedRechecks = 300;
    static constexpr int SettleMs = 1000;

    void settle()
    {
        settled_.invalidate();
        rechecks_ = 0;
        recheck_.start();
    }

    void watchScreen()
    {
        if (QWindow *handle = window_->windowHandle(); handle && handle != watchedHandle_) {
            connect(handle, &QWindow::screenChanged, this, [this] { follow(); });
            watchedHandle_ = handle;
        }
    }

    // The client size is worked out from the outer size asked for, never from
    // a size the window system may not have confirmed yet. A stale size the
    // window manager reports is made good only between its reports: the place
    // that comes with it may be as stale, and would go along with the resize.
    void follow(bool reassert = false)
    {
        if (!window_->isVisible()) {
            recheck_.stop();
            return;
        }
        if (!outer_.isValid() || (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            return;
        // An empty frame only means the window manager has not framed the window (yet, or any more).
        const QSize frame = frameSize(window_);
        if (frame.isNull())
            return;
        if (frame != frame_) {
            frame_ = frame;
            settle();
            reassert = true;
        }
        const QSize client = outer_ - frame_;
        if (!recheck_.isActive()) {
            outer_ = window_->size() + frame_;
            return;
        }
        if (window_->size() != client) {
            settled_.invalidate();
            if (reassert)
                window_->resize(client);
        } else if (!settled_.isValid()) {
            settled_.start();
        } else if (settled_.hasExpired(SettleMs)) {
            recheck_.stop();
        }
    }

    QWidget *window_;
    QSize outer_;
    QSize frame_;
    QTimer recheck_;
    QElapsedTimer settled_;
    QPointer<QWindow> watchedHandle_;
    int rechecks_ = 0;
};

bool placedByWindowManager(const QWidget *window)
{
    if (!window->isVisible())
        return window->testAttribute(Qt::WA_Moved); // its own place, which the window manager keeps
    const QWindow *handle = window->windowHandle();
    return handle && handle->isExposed();
}

// Work that waits for the window manager to place the window: its place is
// known once the window is on screen.
class WhenPlaced : public QObject {
public:
    WhenPlaced(QWidget *window, std::function<void()> work) : QObject(window), window_(window), work_(std::move(work))
    {
        window->installEventFilter(this);
        watchHandle();
    }

    static void cancel(QWidget *window) { delete helperOf<WhenPlaced>(window); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window_ && event->type() == QEvent::Show)
            watchHandle();
        else if (watched != window_ && event->type() == QEvent::Expose && placedByWindowManager(window_))
            run();
        return false;
    }

private:
    void watchHandle()
    {
        if (QWindow *handle = window_->windowHandle(); handle && handle != watchedHandle_) {
            handle->installEventFilter(this);
            watchedHandle_ = handle;
        }
    }

    void run()
    {
        if (watchedHandle_)
            watchedHandle_->removeEventFilter(this);
        window_->removeEventFilter(this);
        deleteLater();
        work_();
    }

    QWidget *window_;
    QPointer<QWindow> watchedHandle_;
    std::function<void()> work_;
};

} // namespace

QRect OuterRect(const QWidget *window) { return window->geometry().marginsAdded(frameMargins(window)); }

void ResizeOuter(QWidget *window, QSize outer) { FrameFollower::of(window)->resizeTo(outer); }

void MoveOuter(QWidget *window, std::optional<int> left, std::optional<int> top)
{
    if (!left && !top)
        return;
    WhenPlaced::cancel(window);
    const auto move = [window, left, top] { window->move(left.value_or(window->x()), top.value_or(window->y())); };
    // A window on its way to the screen takes its place once the window
    // manager has framed it; asked earlier, the place would be taken as that
    // of its client area.
    const bool placed = placedByWindowManager(window);
    const bool appearing = window->isVisible() && !placed;
    if (!appearing && ((left && top) || placed))
        move();
    else
        new WhenPlaced(window, move);
}

void PlaceClearOf(QWidget *window, const QWidget *other)
{
    if (placedByWindowManager(window))
        return;
    WhenPlaced::cancel(window);
    new WhenPlaced(window, [window, other = QPointer<const QWidget>(other)] {
        const QRect taken = other ? OuterRect(other) : QRect();
        if (other && other->isVisible() && OuterRect(window).intersects(taken))
            window->move(taken.right() + 1, window->y());
    });
}

void HideInPlace(QWidget *window)
{
    // Shown again without a place of its own, the window would be placed anew
    // by the window manager. The place is given to the native window itself: a
    // widget takes a move to where it already is for no move at all.
    const QRect outer = OuterRect(window);
    window->hide();
    if (QWindow *handle = window->windowHandle())
        handle->setFramePosition(outer.topLeft());
    else
        MoveOuter(window, outer.left(), outer.top());
}

} // namespace windowplacement
