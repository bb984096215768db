#include "capture/TFormPreview.h"

#include "base/widgets/WindowStyles.h"

#include <QCloseEvent>
#include <QTimer>
#include <QWindow>

TFormPreview::TFormPreview(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::ToolWindowOnTop(this, 313, 231);
}

void TFormPreview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    move(0, 0);
    // Some window managers place a new window themselves when it asks for
    // 0, 0; asking again once it is on screen is honoured. Moves the person
    // makes later are left alone. The time allowed counts from when the
    // window is on screen: a busy program may see the window manager's
    // placement long after it showed the window.
    keepAtCorner_ = true;
    if (QWindow *handle = windowHandle())
        handle->installEventFilter(this);
}

bool TFormPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (auto *handle = qobject_cast<QWindow *>(watched);
        handle && event->type() == QEvent::Expose && handle->isExposed()) {
        handle->removeEventFilter(this);
        QTimer::singleShot(PlacementSettles, this, [this] { keepAtCorner_ = false; });
    }
    return QWidget::eventFilter(watched, event);
}

void TFormPreview::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    // A move reported late, from before the window manager saw the last
    // request, is taken back as well.
    if (keepAtCorner_ && pos() != QPoint(0, 0))
        move(0, 0);
}

void TFormPreview::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit FormClose();
}
