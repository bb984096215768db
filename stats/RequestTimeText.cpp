#include "stats/RequestTimeText.h"

#include <limits>

namespace {

const QString Format = QStringLiteral("yyyy-MM-dd hh:mm:ss");

} // namespace

// Requests come thousands a second, the text changes once a second.
QString RequestTimeText(const QDateTime &time)
{
    thread_local qint64 second = std::numeric_limits<qint64>::min();
    thread_local QString text;
    if (const qint64 asked = time.toSecsSinceEpoch(); asked != second) {
        text = time.toLocalTime().toString(Format);
        second = asked;
    }
    return text;
}

QDateTime ParseRequestTimeText(const QString &text) { return QDateTime::fromString(text, Format); }
