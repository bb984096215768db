// The event log: time-stamped lines, clearing and export to a text file.
#include "app/TFormMain.h"
#include "base/log/LogFormat.h"
#include "base/log/LogMirror.h"
#include "base/seams/Exception.h"
#include "base/seams/Seams.h"

#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

void TFormMain::connectLogHandlers()
{
    ConnectGuarded(ButtonClearLog, &QPushButton::clicked, this, &TFormMain::ButtonClearLogClick);
    ConnectGuarded(Button1, &QPushButton::clicked, this, &TFormMain::Button1Click);
}

void TFormMain::AddToLog(const QString &message) { AddUntimedLine(logformat::TimeStampedLine(seams::Now(), message)); }

void TFormMain::AddUntimedLine(const QString &line)
{
    Log->appendPlainText(line);
    dropOldestLogLinesOverCharacterBound();
    Log->verticalScrollBar()->setValue(Log->verticalScrollBar()->maximum());
    qCInfo(lcEventLog).noquote() << line;
}

void TFormMain::dropOldestLogLinesOverCharacterBound()
{
    QTextDocument *document = Log->document();
    while (document->characterCount() > MaxLogCharacters && document->blockCount() > 1) {
        QTextCursor oldest(document->firstBlock());
        oldest.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
    }
}

void TFormMain::ButtonClearLogClick() { Log->clear(); }

QStringList TFormMain::LogLines() const
{
    if (Log->document()->isEmpty())
        return {};
    return Log->toPlainText().split(QLatin1Char('\n'));
}

void TFormMain::Button1Click()
{
    seams::SaveFileRequest request;
    request.owner = this;
    request.proposedName = logformat::ExportFileName(seams::Now());
    request.filter = QStringLiteral("Text File (*.TXT *.txt)");
    const std::optional<QString> path = seams::GetSaveFileName(request);
    if (!path)
        return;

    // Written to a temporary file and renamed, so a failure leaves no partial
    // file; a folder that takes no new file still lets its writable files be
    // replaced in place.
    QSaveFile file(*path);
    file.setDirectWriteFallback(true);
    const QByteArray text = logformat::CrLfText(LogLines());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw Exception(QStringLiteral("Cannot create file %1").arg(*path));
}
