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
    const auto shown = std::find_if(boxes.rbegin(), boxes.rend(), [](const QPointer<QWidget> &box) {
        return box && box->isVisible();
    });
    return shown == boxes.rend() ? nullptr : shown->data();
}

// The next step, held on the screen: a box that would reach past its edge goes up or left as
// far as it needs.
QPoint nextPlace(const QWidget *last, const QWidget *box)
{
    QPoint place = last->pos() + QPoint(BoxCascade::Step, BoxCascade::Step);
    const QScreen *screen = last->screen() ? last->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return place;
    const QRect area = screen->availableGeometry();
    const QSize frame = last->frameGeometry().size() - last->size();
    const QSize outer = box->sizeHint() + frame;
    place.setX(std::max(area.left(), std::min(place.x(), area.right() + 1 - outer.width())));
    place.setY(std::max(area.top(), std::min(place.y(), area.bottom() + 1 - outer.height())));
    return place;
}

} // namespace

BoxCascade::BoxCascade(QWidget *box) : box_(box)
{
    if (const QWidget *last = lastShownBox())
        box->move(nextPlace(last, box));
    openBoxes().push_back(box_);
}

BoxCascade::~BoxCascade()
{
    std::vector<QPointer<QWidget>> &boxes = openBoxes();
    std::erase_if(boxes, [this](const QPointer<QWidget> &box) { return !box || box == box_; });
}
