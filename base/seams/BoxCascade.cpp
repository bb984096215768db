#include "base/seams/BoxCascade.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

// The boxes open now, in the order they opened.
std::vector<QPointer<QWidget>> &openBoxes()
{
    static std::vector<QPointer<QWidget>> boxes;
    return boxes;
}

const QWidget *lastShownBox()
{
    const std::vector<QPointer<QWidget>> &boxes = openBoxes();
    const auto shown = std::find_if(boxes.rbegin(), boxes.rend(),
                                    [](const QPointer<QWidget> &box) { return box && box->isVisible(); });
    return shown == boxes.rend() ? nullptr : shown->data();
}

// The next step, held on the screen: a box that would reach past its edge goes up or left as
// far as it needs. Boxes are placed by their client areas, which are known exactly as soon as
// a box is on screen; the window manager adds the same frame to each.
QRect nextPlace(const QWidget *last, const QWidget *box)
{
    QRect place(last->geometry().topLeft() + QPoint(BoxCascade::Step, BoxCascade::Step), box->sizeHint());
    const QScreen *screen = last->screen() ? last->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return place;
    const QRect area = screen->availableGeometry();
    const QMargins frame(last->geometry().left() - last->frameGeometry().left(),
                         last->geometry().top() - last->frameGeometry().top(),
                         last->frameGeometry().right() - last->geometry().right(),
                         last->frameGeometry().bottom() - last->geometry().bottom());
    const QRect outer = place.marginsAdded(frame);
    place.translate(std::min(0, area.right() - outer.right()), std::min(0, area.bottom() - outer.bottom()));
    place.translate(std::max(0, area.left() - outer.left()), std::max(0, area.top() - outer.top()));
    return place;
}

} // namespace

BoxCascade::BoxCascade(QWidget *box) : box_(box)
{
    if (const QWidget *last = lastShownBox())
        box->setGeometry(nextPlace(last, box));
    openBoxes().push_back(box_);
}

BoxCascade::~BoxCascade()
{
    std::vector<QPointer<QWidget>> &boxes = openBoxes();
    std::erase_if(boxes, [this](const QPointer<QWidget> &box) { return !box || box == box_; });
}
