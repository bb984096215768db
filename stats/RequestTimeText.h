#pragma once

#include <QDateTime>
#include <QString>

// The date and time of a request as the address window shows it: local time,
// fixed "yyyy-MM-dd hh:mm:ss" on every system, because the locale's own texts
// on Linux carry two-digit years, AM/PM or time-zone names that do not
// reliably read back. Reading a text back gives the same second.
QString RequestTimeText(const QDateTime &time);

// The local date and time of a text made by RequestTimeText; invalid for any other text.
QDateTime ParseRequestTimeText(const QString &text);
