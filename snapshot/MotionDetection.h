#pragma once

#include <QImage>

#include <optional>

// Motion detection between two frames on a sparse grid: every fourth column
// of every fourth row, starting at the top-left pixel. A sample point's
// brightness is R + G + B (0 to 765).
namespace motion {

constexpr int SampleSpacing = 4;

// The threshold of a sensitivity from 1 to 100: (100 - sensitivity) * 3. It is
// both the least change of one point that counts and the least number of
// counted points that lets a snapshot through.
int ThresholdFor(int sensitivity);

// The number of sample points of `previous` whose brightness in `current`
// differs by `threshold` or more ("unmatched areas"). Nothing when the sums
// of width and height differ. Points outside `current` (possible when the
// sizes differ but their sums agree) read as white.
std::optional<int> CountUnmatchedAreas(const QImage &current, const QImage &previous, int threshold);

// Whether a snapshot with this many unmatched areas goes on.
inline bool EnoughMotion(int unmatchedAreas, int threshold) { return unmatchedAreas >= threshold; }

// Makes `kept` a copy of `frame` that owns its pixels, reusing kept's memory
// when the size and format allow. A frame may wrap a capture buffer; the copy
// keeps such a buffer from being held from one snapshot to the next.
void KeepFrame(const QImage &frame, QImage &kept);

} // namespace motion
