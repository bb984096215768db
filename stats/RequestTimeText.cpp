#include "stats/RequestTimeText.h"

namespace {

const QString Format = QStringLiteral("yyyy-MM-dd hh:mm:ss");

} // namespace

QString RequestTimeText(const QDateTime &time) { return time.toLocalTime().toString(Format); }

QDateTime ParseRequestTimeText(const QString &text) { return QDateTime::fromString(text, Format); }
