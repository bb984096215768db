#include "snapshot/MotionDetection.h"

#include <cstdlib>
#include <cstring>

namespace motion {

namespace {

constexpr int White = 3 * 255;

// 32-bit pixels whose low three bytes of the value are the colour channels.
bool isXrgb(QImage::Format format) { return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32; }

// Frames are normally RGB32 already; anything else is compared through a converted copy.
QImage asXrgb(const QImage &image)
{
    return isXrgb(image.format()) ? image : image.convertToFormat(QImage::Format_RGB32);
}

int brightness(QRgb pixel) { return static_cast<int>((pixel & 0xff) + ((pixel >> 8) & 0xff) + ((pixel >> 16) & 0xff)); }

const QRgb *row(const QImage &image, int y) { return reinterpret_cast<const QRgb *>(image.constScanLine(y)); }

// One row of sample points; `current` may be null or shorter than `previous`.
int countRow(const QRgb *current, int currentWidth, const QRgb *previous, int width, int threshold)
{
    int count = 0;
    for (int x = 0; x < width; x += SampleSpacing) {
        const int now = x < currentWidth ? brightness(current[x]) : White;
        if (std::abs(now - brightness(previous[x])) >= threshold)
            ++count;
    }
    return count;
}

} // namespace

int ThresholdFor(int sensitivity) { return (100 - sensitivity) * 3; }

std::optional<int> CountUnmatchedAreas(const QImage &current, const QImage &previous, int threshold)
{
    if (current.width() + current.height() != previous.width() + previous.height())
        return std::nullopt;
    const QImage now = asXrgb(current);
    const QImage before = asXrgb(previous);
    int count = 0;
    for (int y = 0; y < before.height(); y += SampleSpacing) {
        const bool inside = y < now.height();
        count += countRow(inside ? row(now, y) : nullptr, inside ? now.width() : 0, row(before, y), before.width(),
                          threshold);
    }
    return count;
}

void KeepFrame(const QImage &frame, QImage &kept)
{
    if (!isXrgb(frame.format())) {
        kept = frame.copy();
        return;
    }
    if (kept.size() != frame.size() || kept.format() != frame.format())
        kept = QImage(frame.size(), frame.format());
    const auto pixelBytes = static_cast<size_t>(frame.width()) * sizeof(QRgb);
    for (int y = 0; y < frame.height(); ++y)
        std::memcpy(kept.scanLine(y), frame.constScanLine(y), pixelBytes);
}

} // namespace motion
