#include "snapshot/SnapshotName.h"

#include <QLocale>

namespace snapshotname {

namespace {

bool isTrimmed(QChar c) { return c.unicode() <= u' '; }

} // namespace

QString TrimmedName(const QString &text)
{
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isTrimmed(text[first]))
        ++first;
    while (end > first && isTrimmed(text[end - 1]))
        --end;
    return text.sliced(first, end - first);
}

QString TimeStamp(const QDateTime &time) { return QLocale::c().toString(time, QStringLiteral("MM-dd-yy hh.mm.ss")); }

QString SnapshotName(const QString &manualText, const QDateTime &now)
{
    const QString base = TrimmedName(manualText);
    return (base.isEmpty() ? TimeStamp(now) : base) + QStringLiteral(".jpg");
}

QString WithFolderSeparator(const QString &folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

} // namespace snapshotname
