// One snapshot's motion step on 1280x720 frames: counting the changed sample
// points, then keeping the frame for the next run. Goal: under 1 ms together.
#include "snapshot/MotionDetection.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 500;
constexpr int Width = 1280;
constexpr int Height = 720;
constexpr int Threshold = 150; // sensitivity 50

// A noisy picture, so the brightness test goes both ways.
QImage noisyFrame(quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(Width, Height, QImage::Format_RGB32);
    for (int y = 0; y < Height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < Width; ++x)
            line[x] = random.generate() | 0xff000000u;
    }
    return image;
}

// A frame that wraps memory it does not own, as a captured frame wraps its buffer.
QImage wrapped(const QImage &image)
{
    return QImage(image.constBits(), image.width(), image.height(), image.bytesPerLine(), image.format());
}

double medianMs(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return static_cast<double>(values[values.size() / 2]) / 1e6;
}

} // namespace

int main()
{
    const QImage frames[2] = {noisyFrame(1), noisyFrame(2)};
    QImage kept;
    motion::KeepFrame(frames[1], kept);
    std::vector<qint64> count;
    std::vector<qint64> keep;
    std::vector<qint64> total;
    long long checksum = 0;
    for (int run = 0; run < Runs; ++run) {
        const QImage current = wrapped(frames[run % 2]);
        QElapsedTimer timer;
        timer.start();
        checksum += motion::CountUnmatchedAreas(current, kept, Threshold).value_or(-1);
        const qint64 counted = timer.nsecsElapsed();
        motion::KeepFrame(current, kept);
        const qint64 all = timer.nsecsElapsed();
        count.push_back(counted);
        keep.push_back(all - counted);
        total.push_back(all);
    }
    std::printf("%dx%d, %d sample points, median of %d runs (checksum %lld)\n", Width, Height,
                (Width / motion::SampleSpacing) * (Height / motion::SampleSpacing), Runs, checksum);
    std::printf("  count unmatched areas  %.3f ms\n", medianMs(count));
    std::printf("  keep the frame         %.3f ms\n", medianMs(keep));
    std::printf("  comparison in all      %.3f ms  (goal: under 1 ms)\n", medianMs(total));
    return 0;
}
