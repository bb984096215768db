#include "recording/RecordingName.h"

#include <QDir>
#include <QRegularExpression>

namespace recordingname {

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH.mm.ss");

} // namespace

QDateTime LocalOffsets::At(QDate date, QTime time)
{
    const qint64 hour = date.toJulianDay() * 24 + time.hour();
    auto known = offsetByHour_.find(hour);
    if (known == offsetByHour_.end())
        known = offsetByHour_.emplace(hour, QDateTime(date, QTime(time.hour(), 0)).offsetFromUtc()).first;
    return QDateTime(date, time, Qt::OffsetFromUTC, known->second);
}

QString NameFor(const QDateTime &start, bool motion, int number)
{
    QString name = start.toString(TimeFormat) + (motion ? QStringLiteral(" motion") : QStringLiteral(" always"));
    if (number > 1)
        name += QLatin1Char(' ') + QString::number(number);
    return name + QStringLiteral(".mp4");
}

std::optional<Parsed> Parse(const QString &name, LocalOffsets *offsets)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4}-\\d{2}-\\d{2} \\d{2}\\.\\d{2}\\.\\d{2}) (motion|always)(?: ([2-9]|[1-9]\\d{1,2}))?\\.mp4$"));
    const QRegularExpressionMatch match = form.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    Parsed parsed;
    // Read by position: the form is checked, and a folder of thousands is listed often.
    const auto field = [&name](int at, int length) { return QStringView(name).mid(at, length).toInt(); };
    const QDate date(field(0, 4), field(5, 2), field(8, 2));
    const QTime time(field(11, 2), field(14, 2), field(17, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    parsed.start = offsets ? offsets->At(date, time) : QDateTime(date, time);
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
