#pragma once

#include <QDateTime>
#include <QString>

// How a snapshot's file is named.
namespace snapshotname {

// The text with leading and trailing spaces and control characters removed.
QString TrimmedName(const QString &text);

// "MM-dd-yy hh.mm.ss" on the 24-hour clock, the same on every system.
QString TimeStamp(const QDateTime &time);

// The file name of a snapshot: the trimmed manual text, or the time stamp when
// that is empty, followed by ".jpg" (always, also after a ".jpg" of its own).
QString SnapshotName(const QString &manualText, const QDateTime &now);

// The folder text with a "/" appended unless it already ends in one.
QString WithFolderSeparator(const QString &folder);

} // namespace snapshotname
