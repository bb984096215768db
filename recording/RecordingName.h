#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <unordered_map>

// How a recording's file is named: "2026-12-10 14.03.07 motion.mp4" (or "always"), the local
// time of its first frame, sortable, with no locale in it. A second file begun in the same
// second gets " 2", " 3", ... before ".mp4". Only names of this form are the program's own.
namespace recordingname {

struct Parsed {
    QDateTime start;
    bool motion = false;
    int number = 1;
};

// Local times as points in time, the zone's rules asked once per hour: a folder of thousands
// is listed on every page request, and the rules are slow to ask.
class LocalOffsets {
public:
    QDateTime At(QDate date, QTime time);

private:
    std::unordered_map<qint64, int> offsetByHour_;
};

QString NameFor(const QDateTime &start, bool motion, int number = 1);
std::optional<Parsed> Parse(const QString &name, LocalOffsets *offsets = nullptr);

// The small picture of a recording: in the folder's ".thumbnails".
QString ThumbnailPath(const QString &folder, const QString &name);

} // namespace recordingname
