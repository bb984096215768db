#include "base/widgets/WindowPlacement.h"

#include "base/widgets/FrameNotices.h"

#include <QEvent>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
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

// Keeps the size the program gives a window when the window manager frames it
// or changes its frame: the outer size asked for, with the client area giving
// up what the frame takes, but never below the least client size asked for
// (then the outer size grows by the frame). The window manager's notices
// (framenotices) set it to work: a new frame, and each size it gives the
// window. Until it has given the size asked for, the sizes it reports are ones
// it had before it saw the request; after that, another size is the person's
// own, and a later frame leaves it alone.
class FrameFollower : public QObject {
public:
    explicit FrameFollower(QWidget *window) : QObject(window), window_(window)
    {
        framenotices::Watch();
        window->installEventFilter(this);
        reassert_.setSingleShot(true);
        reassert_.setInterval(ReassertDelayMs);
        connect(&reassert_, &QTimer::timeout, this, [this] {
            if (followsProgram())
                window_->resize(client());
        });
    }

    static FrameFollower *of(QWidget *window)
    {
        auto *follower = helperOf<FrameFollower>(window);
        return follower ? follower : new FrameFollower(window);
    }

    void resizeTo(QSize outer, QSize leastClient)
    {
        outer_ = outer;
        leastClient_ = leastClient;
        personSized_ = false;
        apply(frameSize(window_));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != window_)
            return false;
        if (event->type() == framenotices::FrameChanged() || event->type() == QEvent::Show) {
            watchScreen();
            frameMayHaveChanged();
        } else if (event->type() == framenotices::Configured::type()) {
            sizeGiven(static_cast<const framenotices::Configured *>(event)->size());
        }
        return false;
    }

private:
    static constexpr int ReassertDelayMs = 50;
    // A window manager that keeps giving another size has the last word.
    static constexpr int MostReasserts = 5;

    QSize client() const { return (outer_ - frame_).expandedTo(leastClient_); }

    bool followsProgram() const
    {
        return outer_.isValid() && !personSized_ && window_->isVisible() &&
               !(window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    }

    void apply(QSize frame)
    {
        frame_ = frame;
        reasserts_ = 0;
        // A size the window already has brings no answer from the window manager.
        awaitingSize_ = window_->size() != client();
        window_->resize(client());
    }

    void watchScreen()
    {
        if (QWindow *handle = window_->windowHandle(); handle && handle != watchedHandle_) {
            connect(handle, &QWindow::screenChanged, this, [this] { frameMayHaveChanged(); });
            watchedHandle_ = handle;
        }
    }

    void frameMayHaveChanged()
    {
        // An empty frame only means the window manager has not framed the window (yet, or any more).
        const QSize frame = frameSize(window_);
        if (frame.isNull() || frame == frame_)
            return;
        if (followsProgram())
            apply(frame);
        else
            frame_ = frame;
        keepTitleBarOnScreen();
    }

    // A window manager may grow a frame outwards from the client area: a taller title bar
    // would then start above the screen's edge, out of reach.
    void keepTitleBarOnScreen()
    {
        const QScreen *screen = window_->screen();
        QWindow *handle = window_->windowHandle();
        if (!screen || !handle || !window_->isVisible())
            return;
        const QRect area = screen->availableGeometry();
        const QRect outer = OuterRect(window_);
        const QPoint shift(std::max(area.left() - outer.left(), 0), std::max(area.top() - outer.top(), 0));
        if (!shift.isNull())
            handle->setPosition(window_->geometry().topLeft() + shift);
    }

    // A stale size is made good only between the window manager's reports: the place that comes
    // with it may be as stale, and would go along with the resize.
    void sizeGiven(QSize size)
    {
        if (!followsProgram())
            return;
        if (size == client())
            awaitingSize_ = false;
        else if (!awaitingSize_ || reasserts_++ >= MostReasserts)
            personSized_ = true;
        else
            reassert_.start();
    }

    QWidget *window_;
    QSize outer_;
    QSize leastClient_;
    QSize frame_;
    bool personSized_ = false;
    bool awaitingSize_ = false;
    int reasserts_ = 0;
    QTimer reassert_;
    QPointer<QWindow> watchedHandle_;
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

// Keeps a window out from under another one that may still grow: the preview takes its
// size from the camera's first picture, which can come after the window was placed. It
// lets go once the window is no longer where it put it (the person moved it).
class KeepClear : public QObject {
public:
    KeepClear(QWidget *window, QWidget *other) : QObject(window), window_(window), other_(other)
    {
        other->installEventFilter(this);
        keepClear();
    }

    static void cancel(QWidget *window) { delete helperOf<KeepClear>(window); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == other_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
            keepClear();
        return false;
    }

private:
    void keepClear()
    {
        if (!other_ || (placedAt_ && window_->pos() != *placedAt_)) {
            deleteLater();
            return;
        }
        const QRect taken = OuterRect(other_);
        if (other_->isVisible() && OuterRect(window_).intersects(taken))
            window_->move(taken.right() + 1, window_->y());
        placedAt_ = window_->pos();
    }

    QWidget *window_;
    QPointer<QWidget> other_;
    std::optional<QPoint> placedAt_;
};

} // namespace

QRect OuterRect(const QWidget *window) { return window->geometry().marginsAdded(frameMargins(window)); }

void ResizeOuter(QWidget *window, QSize outer, QSize leastClient)
{
    FrameFollower::of(window)->resizeTo(outer, leastClient);
}

void MoveOuter(QWidget *window, std::optional<int> left, std::optional<int> top)
{
    if (!left && !top)
        return;
    WhenPlaced::cancel(window);
    KeepClear::cancel(window);
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

void PlaceClearOf(QWidget *window, QWidget *other)
{
    if (placedByWindowManager(window))
        return;
    WhenPlaced::cancel(window);
    KeepClear::cancel(window);
    new WhenPlaced(window, [window, other = QPointer<QWidget>(other)] {
        if (other)
            new KeepClear(window, other);
    });
}

std::optional<QPoint> ClearPlace(const QRect &outer, const QList<QRect> &taken, const QRect &screen)
{
    // Where it is, or against the screen's edges or the others' edges, the nearest clear one.
    QList<int> lefts{outer.x(), screen.left(), screen.right() + 1 - outer.width()};
    QList<int> tops{outer.y(), screen.top(), screen.bottom() + 1 - outer.height()};
    for (const QRect &rect : taken) {
        lefts << rect.right() + 1 << rect.left() - outer.width();
        tops << rect.bottom() + 1 << rect.top() - outer.height();
    }
    std::optional<QPoint> nearest;
    for (const int left : lefts) {
        for (const int top : tops) {
            const QRect moved(QPoint(left, top), outer.size());
            if (!screen.contains(moved) ||
                std::any_of(taken.begin(), taken.end(), [&](const QRect &rect) { return rect.intersects(moved); }))
                continue;
            if (!nearest ||
                (moved.topLeft() - outer.topLeft()).manhattanLength() < (*nearest - outer.topLeft()).manhattanLength())
                nearest = moved.topLeft();
        }
    }
    return nearest;
}

void MoveClearOf(QWidget *window, const QList<QWidget *> &others)
{
    QList<QRect> taken;
    QMargins frame = frameMargins(window);
    for (const QWidget *other : others) {
        if (!other || !other->isVisible())
            continue;
        taken.append(OuterRect(other));
        // A window never shown yet has no frame: it will get one like theirs.
        if (frame.isNull())
            frame = frameMargins(other);
    }
    const QRect outer =
        window->isVisible()
            ? OuterRect(window)
            : QRect(window->pos(), window->size() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom()));
    const QScreen *screen = window->screen();
    if (taken.isEmpty() || !screen)
        return;
    const std::optional<QPoint> place = ClearPlace(outer, taken, screen->availableGeometry());
    if (place && *place != outer.topLeft())
        MoveOuter(window, place->x(), place->y());
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
