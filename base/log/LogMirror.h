#pragma once

#include <QLoggingCategory>

// Every event-log line also goes to standard error under this category, so a
// user who starts the program from a terminal, and a test, can read it.
Q_DECLARE_LOGGING_CATEGORY(lcEventLog)

// Sends all of Qt's messages to standard error, whatever the session's logging
// back end would otherwise pick.
void InstallStandardErrorLogging();
