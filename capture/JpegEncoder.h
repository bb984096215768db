#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// Encodes a picture as a baseline JFIF image with libjpeg's standard quality
// scaling (qualities below 1 act as 1). 32-bit and 24-bit pictures are read
// straight from their memory; other formats are converted first. Nothing when
// the encoder fails.
std::optional<QByteArray> EncodeJpeg(const QImage &image, int quality);
