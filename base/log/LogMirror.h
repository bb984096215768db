#pragma once

#include <QLoggingCategory>

// Every event-log line also goes to standard error under this category, so a
// user who starts the program from a terminal, and a test, can read it.
Q_DECLARE_LOGGING_CATEGORY(lcEventLog)

// The event log's lines come partly from peers; on the terminal every control character is
// shown escaped, line breaks included. Qt's own messages keep their line breaks and tabs.
enum class LineBreaks { Escape, Keep };
QString TerminalSafeText(const QString &text, LineBreaks lineBreaks);

// Sends all of Qt's messages to standard error, whatever the session's logging
// back end would otherwise pick.
void InstallStandardErrorLogging();
