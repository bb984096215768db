#pragma once

#include <QString>

// The small picture of a recording: its first key frame, decoded and made a JPEG 320 pixels
// wide, once, when the clip has ended. Made on GStreamer's threads; the caller never waits.
namespace thumbnail {

void MakeLater(const QString &recording, const QString &picture);

} // namespace thumbnail
