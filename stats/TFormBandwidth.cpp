#include "stats/TFormBandwidth.h"

#include "base/widgets/WindowStyles.h"

namespace {

constexpr int MinimumPixelSize = 8;

// The labels keep the 100 pixels the window was drawn for; a face too wide
// for them is made smaller rather than cut off.
void shrinkToFit(QLabel *label)
{
    QFont font = label->font();
    while (font.pixelSize() > MinimumPixelSize && QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}

} // namespace

TFormBandwidth::TFormBandwidth(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    windowstyle::DialogWithCloseBox(this, 230, 54);
    shrinkToFit(Label1);
    shrinkToFit(Label2);
    move(255, 190);
    display_.setSingleShot(true);
    connect(&display_, &QTimer::timeout, this, &TFormBandwidth::showPending);
}

void TFormBandwidth::RecordSent(qint64 bytes, int times)
{
    pending_ = true;
    pendingLast_ = bytes;
    pendingAdded_ += bytes * times;
    if (!shown_.isValid() || shown_.elapsed() >= DisplayIntervalMs)
        showPending();
    else if (!display_.isActive())
        display_.start(static_cast<int>(DisplayIntervalMs - shown_.elapsed()));
}

// Setting a field's text lays it out anew, which a busy server cannot afford per request.
void TFormBandwidth::showPending()
{
    display_.stop();
    if (!pending_)
        return;
    pending_ = false;
    Edit1->setText(QString::number(pendingLast_));
    Edit2->setText(QString::number(Edit2->text().toLongLong() + pendingAdded_));
    pendingAdded_ = 0;
    shown_.start();
}

// The total is 64 bits wide: a 32-bit one would wrap after 2 GiB sent.
void TFormBandwidth::Edit1Change()
{
    const qint64 total = Edit2->text().toLongLong() + Edit1->text().toLongLong();
    Edit2->setText(QString::number(total));
}
