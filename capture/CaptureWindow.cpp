#include "capture/CaptureWindow.h"

#include <QPainter>

CaptureWindow::CaptureWindow(QWidget *parent, FrameSource frames) : QWidget(parent), frames_(std::move(frames))
{
    setObjectName(QStringLiteral("CaptureWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(66);
    connect(&timer_, &QTimer::timeout, this, &CaptureWindow::showNewestFrame);
}

void CaptureWindow::setPreview(bool on)
{
    if (on)
        timer_.start();
    else
        timer_.stop();
}

void CaptureWindow::setPreviewRate(int milliseconds) { timer_.setInterval(qMax(1, milliseconds)); }

void CaptureWindow::showNewestFrame()
{
    CapturedFrame newest = frames_();
    if (newest.ready() ? newest.serial == shown_.serial : !shown_.ready())
        return;
    // A source that failed leaves the window black rather than frozen on its last picture.
    shown_ = newest.ready() ? std::move(newest) : CapturedFrame{};
    update();
}

void CaptureWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!shown_.ready()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(QPoint(0, 0), shown_.image);
    const QRegion outside = QRegion(rect()).subtracted(QRect(QPoint(0, 0), shown_.image.size()));
    for (const QRect &part : outside)
        painter.fillRect(part, Qt::black);
}
