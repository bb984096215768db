#include "recording/RecordingFiles.h"

#include "recording/RecordingName.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace recordingfiles {

namespace {

const QByteArray Prefix = QByteArrayLiteral("/recordings/");

QString encoded(const QString &name) { return QString::fromLatin1(QUrl::toPercentEncoding(name)); }

} // namespace

std::optional<Found> Resolve(const QString &folder, const QByteArray &target)
{
    QByteArray path = target;
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path.truncate(query);
    if (!path.startsWith(Prefix))
        return std::nullopt;
    const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(path.mid(Prefix.size())));
    const bool picture = name.endsWith(QStringLiteral(".jpg"));
    const QString recording = picture ? name.chopped(4) + QStringLiteral(".mp4") : name;
    if (!recordingname::Parse(recording)) // the program's own names have no separator
        return std::nullopt;
    Found found;
    found.path = picture ? recordingname::ThumbnailPath(folder, recording) : QDir(folder).filePath(recording);
    found.contentType = picture ? QByteArrayLiteral("image/jpeg") : QByteArrayLiteral("video/mp4");
    const QFileInfo file(found.path);
    if (!file.exists() || file.isSymLink() || !file.isFile())
        return std::nullopt;
    return found;
}

QByteArray TargetOf(const QByteArray &requestText)
{
    const QByteArray line = requestText.left(requestText.indexOf('\n'));
    const qsizetype start = line.indexOf(' ');
    if (start < 0)
        return {};
    const qsizetype end = line.indexOf(' ', start + 1);
    return line.mid(start + 1, end < 0 ? -1 : end - start - 1).trimmed();
}

QString UrlOf(const QString &name) { return QString::fromLatin1(Prefix) + encoded(name); }

QString ThumbnailUrlOf(const QString &name)
{
    return QString::fromLatin1(Prefix) + encoded(QString(name).replace(QStringLiteral(".mp4"), QStringLiteral(".jpg")));
}

} // namespace recordingfiles
