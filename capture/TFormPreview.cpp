#include "capture/TFormPreview.h"

#include "base/widgets/WindowStyles.h"

#include <QCloseEvent>
#include <QTimer>

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
    // makes later are left alone.
    keepAtCorner_ = true;
    QTimer::singleShot(PlacementSettles, this, [this] { keepAtCorner_ = false; });
}

void TFormPreview::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (keepAtCorner_ && pos() != QPoint(0, 0)) {
        keepAtCorner_ = false;
        move(0, 0);
    }
}

void TFormPreview::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit FormClose();
}
