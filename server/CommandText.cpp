#include "server/CommandText.h"

#include <QLocale>

namespace command {

QString MessageText(const QByteArray &requestText)
{
    const qsizetype length = requestText.size() - 5;
    if (length <= 0)
        return {};
    const QByteArray text = requestText.mid(4, length);
    if (text.size() <= MaxMessageLength)
        return QString::fromLatin1(text);
    return QString::fromLatin1(text.left(MaxMessageLength)) +
           QStringLiteral(" [%1 more characters not shown]").arg(text.size() - MaxMessageLength);
}

QString DateTimeText(const QDateTime &when, const QLocale &locale)
{
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() == QTime(0, 0))
        return date;
    // The long time format may carry a time zone; the report wants the clock time with seconds.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    return date + QLatin1Char(' ') + locale.toString(when.time(), timeFormat.trimmed());
}

QByteArray StatusReport(const StatusFacts &facts)
{
    QByteArray report;
    report += "\n\n";
    report += "Server Status\n";
    report += "-------------\n";
    report += facts.version.toUtf8() + "\n";
    report += "Server Time/Date: " + DateTimeText(facts.now, facts.locale).toUtf8() + "\n";
    report += "JPEG Compression: " + QByteArray::number(facts.jpegQuality) + "%\n";
    report += "Preview Image Size: " + QByteArray::number(facts.previewWidth) + "x" +
              QByteArray::number(facts.previewHeight) + "\n";
    report += "Total Bandwidth Sent: " + facts.totalSent.toUtf8() + " bytes\n";
    report += "\n";
    report += "** Request Logged\n";
    report += "\n\n";
    return report;
}

} // namespace command
