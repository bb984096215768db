#pragma once

#include <QImage>
#include <QString>

// A QR code of the text for a phone to scan: black modules on white with the quiet zone the
// standard asks for, each module the given number of pixels; a null image when the text
// cannot be encoded.
QImage QrPicture(const QString &text, int moduleSize);
