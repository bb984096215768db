#pragma once

#include "recording/RecordingCatalogue.h"

#include <QByteArray>
#include <QString>

#include <vector>

// What /recordings.json and /recordings show of the folder's recordings, newest first.
namespace recordingspage {

// A JSON array of {name, url, thumbnail, start (ISO 8601 with its offset), seconds, bytes,
// motion, recording}; `current` is the file being written.
QByteArray Json(const std::vector<recordingcatalogue::Entry> &newestFirst, const QString &current);

// The page: the recordings by day, each with its picture, time, length and size, played in
// the page's video player on a click, and a download link. `notice` (may be empty) is shown
// above them.
// How a length ("0:15", "1:02:03"), a size ("3.2 MB") and a start (ISO 8601 with its offset)
// are shown, on the page and in the log alike.
QString LengthText(qint64 seconds);
QString SizeText(qint64 bytes);
QString IsoTime(const QDateTime &time);

QByteArray Html(const std::vector<recordingcatalogue::Entry> &newestFirst, const QString &current,
                const QString &notice);

} // namespace recordingspage
