#pragma once

#include <QByteArray>
#include <QImage>

class QWidget;

// Pictures of the program's own windows, for the "GET /CHART" requests.
namespace windowpicture {

// Quality of window pictures, whatever the camera's JPEG setting is.
constexpr int Quality = 90;

// The window's client area as it paints itself: for a main window the area under its menu
// bar, for any other window the whole inside. Works while the window is hidden.
QImage ClientArea(QWidget *window);

// The client area as a JPEG file at quality 90; empty when it cannot be encoded.
QByteArray ClientAreaJpeg(QWidget *window);

} // namespace windowpicture
