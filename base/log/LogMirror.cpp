#include "base/log/LogMirror.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcEventLog, "vantrel.log")

namespace {

void writeToStandardError(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool eventLog = qstrcmp(context.category, lcEventLog().categoryName()) == 0;
    const QString text = TerminalSafeText(message, eventLog ? LineBreaks::Escape : LineBreaks::Keep);
    const QByteArray line = qFormatLogMessage(type, context, text).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

// C0 and C1 control characters and DEL become \xHH, so that no text can move the cursor,
// change colours or rewrite what the terminal shows.
QString TerminalSafeText(const QString &text, LineBreaks lineBreaks)
{
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool control = code < 0x20 || (code >= 0x7f && code < 0xa0);
        if (!control || (lineBreaks == LineBreaks::Keep && (code == u'\n' || code == u'\t')))
            safe += c;
        else
            safe += QStringLiteral("\\x%1").arg(static_cast<int>(code), 2, 16, QLatin1Char('0'));
    }
    return safe;
}

void InstallStandardErrorLogging() { qInstallMessageHandler(writeToStandardError); }
