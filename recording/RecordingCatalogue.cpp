#include "recording/RecordingCatalogue.h"

#include "recording/FolderFiles.h"
#include "recording/RecordingName.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace recordingcatalogue {

std::vector<Entry> List(const QString &folder)
{
    std::vector<Entry> entries;
    std::vector<folderfiles::File> files = folderfiles::RegularFiles(folder);
    entries.reserve(files.size());
    recordingname::LocalOffsets offsets;
    for (folderfiles::File &file : files) {
        const auto parsed = recordingname::Parse(file.name, &offsets);
        if (!parsed || file.bytes == 0) // an empty file is the next part, not begun yet
            continue;
        const qint64 seconds = std::max<qint64>(0, file.modifiedSecs - parsed->start.toSecsSinceEpoch());
        entries.push_back({std::move(file.name), parsed->start, seconds, file.bytes, parsed->motion, parsed->number});
    }
    // The names begin with the time, in an order that sorts: no time need be compared.
    std::ranges::sort(entries, [](const Entry &a, const Entry &b) {
        const int byTime = QStringView(a.name).left(19).compare(QStringView(b.name).left(19));
        return byTime != 0 ? byTime > 0 : a.number > b.number;
    });
    return entries;
}

QStringList OverBudget(const std::vector<Entry> &newestFirst, qint64 maxBytes, int maxDays, const QDateTime &now,
                       const QString &keep)
{
    QStringList going;
    qint64 kept = 0;
    bool full = false; // once one does not fit, every older one goes too
    for (const Entry &entry : newestFirst) {
        const bool fromTheFuture = entry.start > now;
        const bool tooOld = !fromTheFuture && entry.start.daysTo(now) > maxDays;
        full = full || (!fromTheFuture && entry.name != keep && kept + entry.bytes > maxBytes);
        if (entry.name == keep || fromTheFuture || (!tooOld && !full)) {
            kept += entry.bytes;
            continue;
        }
        going.prepend(entry.name); // oldest first
    }
    return going;
}

bool Remove(const QString &folder, const QString &name)
{
    QFile::remove(recordingname::ThumbnailPath(folder, name));
    return QFile::remove(QDir(folder).filePath(name));
}

} // namespace recordingcatalogue
