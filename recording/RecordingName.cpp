#include "recording/RecordingName.h"

#include <QDir>
#include <QRegularExpression>

namespace recordingname {

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH.mm.ss");

} // namespace

QString NameFor(const QDateTime &start, bool motion, int number)
{
    QString name = start.toString(TimeFormat) + (motion ? QStringLiteral(" motion") : QStringLiteral(" always"));
    if (number > 1)
        name += QLatin1Char(' ') + QString::number(number);
    return name + QStringLiteral(".mp4");
}

std::optional<Parsed> Parse(const QString &name)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4}-\\d{2}-\\d{2} \\d{2}\\.\\d{2}\\.\\d{2}) (motion|always)(?: ([2-9]|[1-9]\\d{1,2}))?\\.mp4$"));
    const QRegularExpressionMatch match = form.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    Parsed parsed;
    parsed.start = QDateTime::fromString(match.captured(1), TimeFormat);
    if (!parsed.start.isValid())
        return std::nullopt;
    parsed.motion = match.captured(2) == QLatin1String("motion");
    parsed.number = match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
    return parsed;
}

QString ThumbnailPath(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(QStringLiteral(".thumbnails/") +
                                 QString(name).replace(QStringLiteral(".mp4"), QStringLiteral(".jpg")));
}

} // namespace recordingname
