#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

// The texts of the plain commands: the message of "SAY:" and "MSG:", and the status report.
namespace command {

// Longest message text that reaches the log or a message box; the rest is cut off and
// counted, so a flood of text cannot swell the log.
constexpr int MaxMessageLength = 4096;

// The request without its first four characters and its last one (normally the line feed),
// one byte per character; empty for five characters or fewer. Cut to MaxMessageLength.
QString MessageText(const QByteArray &requestText);

// The local date and time as the report shows them: the short date, a space, the time with
// seconds; at midnight exactly, the date alone. In the user's regional format by default.
QString DateTimeText(const QDateTime &when, const QLocale &locale = QLocale::system());

struct StatusFacts {
    QString version;
    QDateTime now;
    QLocale locale = QLocale::system();
    int jpegQuality = 0;
    int previewWidth = 0;
    int previewHeight = 0;
    QString totalSent;
};

// The report that answers "STATUS": line feeds only, thirteen of them; UTF-8, so that the
// date and time keep every character of the regional format.
QByteArray StatusReport(const StatusFacts &facts);

} // namespace command
