#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// How a recording's file is named: "2026-12-10 14.03.07 motion.mp4" (or "always"), the local
// time of its first frame, sortable, with no locale in it. A second file begun in the same
// second gets " 2", " 3", ... before ".mp4". Only names of this form are the program's own.
namespace recordingname {

struct Parsed {
    QDateTime start;
    bool motion = false;
    int number = 1;
};

QString NameFor(const QDateTime &start, bool motion, int number = 1);
std::optional<Parsed> Parse(const QString &name);

// The small picture of a recording: in the folder's ".thumbnails".
QString ThumbnailPath(const QString &folder, const QString &name);

} // namespace recordingname
