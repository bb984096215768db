#pragma once

#include <QList>
#include <QRect>

#include <optional>

class QWidget;

// Places windows by their outer rectangles: frame and title bar included, as
// the settings file stores them and as the person sees them.
//
// A window manager draws the frame, and says how large it is only after it
// has framed the window on screen. Until then Qt counts the frame as empty, so
// a size asked for earlier is made good once the frame is known.
namespace windowplacement {

// The window's outer rectangle, as far as the frame is known.
QRect OuterRect(const QWidget *window);

// Sizes the window so that its outer rectangle is the size given, now and
// again when the window manager frames it (or changes its frame), but never
// with a client area smaller than leastClient: a frame larger than the outer
// size allows for makes the window larger. Sizes the person gives it later are
// left alone, also when the frame changes after that.
void ResizeOuter(QWidget *window, QSize outer, QSize leastClient = {});

// Moves the window's outer top-left corner. A coordinate not given keeps the
// place the window manager chose: for a window not yet on screen the given
// one is applied once the window manager has placed it.
void MoveOuter(QWidget *window, std::optional<int> left, std::optional<int> top);

// Leaves a window that is not yet on screen where the window manager puts it,
// unless that is under the other window: it then goes just right of it, also when
// the other window grows later, until the window is moved elsewhere.
void PlaceClearOf(QWidget *window, QWidget *other);

// The place nearest to where a window's outer rectangle is that lies on the screen and overlaps
// none of `taken` (it is where it is when that is clear); none when there is no such place.
std::optional<QPoint> ClearPlace(const QRect &outer, const QList<QRect> &taken, const QRect &screen);

// Moves a window out from under the visible ones of `others` when it is under one of them, or
// would be once shown at its place; a window clear of them stays where it is.
void MoveClearOf(QWidget *window, const QList<QWidget *> &others);

// Hides the window; shown again, it comes back to the same place.
void HideInPlace(QWidget *window);

} // namespace windowplacement
