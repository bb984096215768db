#pragma once

#include <QString>

// A recording cut off mid-write (a full disk, a crash) ends in a box that is not whole, or in
// a fragment's header without its data: players then report an error at the end. Cutting
// the file back to its last whole fragment leaves one that plays to its end without a word.
namespace mp4trim {

// Cuts the file after its last whole top-level box, and before a trailing "moof" without its
// "mdat"; the bytes cut off (0 when it was whole or is no MP4), or -1 when it could not be read
// or cut.
qint64 TrimToWholeFragments(const QString &path);

} // namespace mp4trim
