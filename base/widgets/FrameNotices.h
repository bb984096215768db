#pragma once

#include <QEvent>
#include <QSize>

// What the window manager says about a top-level window, which the window
// system passes on to a widget only in part:
// - the frame it draws around the window, in the window's _NET_FRAME_EXTENTS
//   property, when it first frames the window and whenever the frame changes
//   (another theme, a larger title font): posted as an event of type
//   FrameChanged() once the toolkit has taken the new frame in;
// - each size it gives the window, also one the widget has already taken for
//   its own: posted as a Configured event.
// Nothing is posted before Watch() has run, nor on a display without them.
namespace framenotices {

QEvent::Type FrameChanged();

class Configured : public QEvent {
public:
    explicit Configured(QSize size) : QEvent(type()), size_(size) {}
    static QEvent::Type type();
    QSize size() const { return size_; }

private:
    QSize size_;
};

void Watch();

} // namespace framenotices
