#pragma once

#include "capture/CapturedFrame.h"

#include <QTimer>
#include <QWidget>

#include <functional>

// The window the live picture is shown in. While preview is on it looks for
// a new frame every preview interval and paints it; it does nothing else per
// frame. Between frames, and before the first, it is black.
class CaptureWindow : public QWidget {
    Q_OBJECT

public:
    using FrameSource = std::function<CapturedFrame()>;

    CaptureWindow(QWidget *parent, FrameSource frames);

    void setPreview(bool on);
    bool previewing() const { return timer_.isActive(); }
    void setPreviewRate(int milliseconds);

    // The frame on screen now (for tests and the window pictures).
    const CapturedFrame &shownFrame() const { return shown_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showNewestFrame();

    FrameSource frames_;
    QTimer timer_;
    CapturedFrame shown_;
};
