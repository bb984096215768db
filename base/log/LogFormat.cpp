#include "base/log/LogFormat.h"

namespace logformat {

QString TimeStampedLine(const QDateTime &when, const QString &message)
{
    return when.toString(QStringLiteral("MM-dd-yy hh:mm:ss")) + QStringLiteral(": ") + message;
}

QString ExportFileName(const QDateTime &when)
{
    return when.toString(QStringLiteral("MM-dd-yy hh.mm.ss")) + QStringLiteral(".txt");
}

QByteArray CrLfText(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines) {
        text += line.toUtf8();
        text += "\r\n";
    }
    return text;
}

} // namespace logformat
