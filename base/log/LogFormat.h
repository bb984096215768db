#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace logformat {

// "mm-dd-yy hh:nn:ss: message", the message unchanged.
QString TimeStampedLine(const QDateTime &when, const QString &message);

// "mm-dd-yy hh.nn.ss.txt": the name proposed for an exported log.
QString ExportFileName(const QDateTime &when);

// Every line followed by CR LF, as UTF-8.
QByteArray CrLfText(const QStringList &lines);

} // namespace logformat
