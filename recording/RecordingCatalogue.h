#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

// The recordings in a folder: only regular files with the program's own names (no link, no
// other file), newest first. A file's length is the time from its first frame (its name) to
// its last write, so a file cut off by a crash is listed with what it holds, and listing
// needs one look at each file, not a read.
namespace recordingcatalogue {

struct Entry {
    QString name;
    QDateTime start;
    qint64 seconds = 0;
    qint64 bytes = 0;
    bool motion = false;
    int number = 1; // a second file begun in the same second: 2, 3, ...
};

std::vector<Entry> List(const QString &folder);

// What a budget lets go, oldest first: recordings beyond `maxDays` old, then the oldest
// until the rest take at most `maxBytes`. `keep` (the file being written) never goes, and
// neither does a file from the future (the clock went back).
QStringList OverBudget(const std::vector<Entry> &newestFirst, qint64 maxBytes, int maxDays, const QDateTime &now,
                       const QString &keep);

// Removes a recording and its small picture; false when the file stayed.
bool Remove(const QString &folder, const QString &name);

} // namespace recordingcatalogue
