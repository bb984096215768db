#include "base/log/LogMirror.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcEventLog, "vantrel.log")

namespace {

void writeToStandardError(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = qFormatLogMessage(type, context, message).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

void InstallStandardErrorLogging() { qInstallMessageHandler(writeToStandardError); }
