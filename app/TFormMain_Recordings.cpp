// The recordings on the web server: /recordings (the page), /recordings.json (for scripts)
// and the files themselves, in parts as players ask for them. What happened in someone's
// home is more private than the picture they share: with no viewer password set, only this
// computer sees it.
#include "app/TFormMain.h"
#include "recording/Recorder.h"
#include "recording/RecordingCatalogue.h"
#include "recording/RecordingFiles.h"
#include "recording/RecordingsPage.h"
#include "server/ByteRange.h"
#include "server/FileSpan.h"
#include "server/HttpFraming.h"

#include <QFileInfo>
#include <QHostAddress>

namespace {

QByteArray fileHead(const QByteArray &status, const QByteArray &type, qint64 length, const QByteArray &more)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(length) +
           "\r\nAccept-Ranges: bytes\r\nCache-Control: no-cache\r\n" + more + "Connection: close\r\n\r\n";
}

} // namespace

void TFormMain::sendRecordings(const Reply &reply, request::Kind kind, const QByteArray &text)
{
    if (!viewerAccess_->Required() && !QHostAddress(reply.Peer()).isLoopback()) {
        sendWhole(reply,
                  http::TextResponse("403 Forbidden",
                                     QStringLiteral("Recordings are private: they are shown on other computers only "
                                                    "once a viewer is set in Vantrel (File, Viewers).")));
        return;
    }
    if (kind == request::Kind::RecordingFile) {
        sendRecordingFile(reply, text);
        return;
    }
    const std::vector<recordingcatalogue::Entry> entries = recordingcatalogue::List(Recording->Folder());
    const bool list = kind == request::Kind::RecordingsList;
    const QString notice =
        viewerAccess_->Required()
            ? QString()
            : QStringLiteral("These recordings are shown only on this computer. Set a viewer in Vantrel "
                             "(File, Viewers) to watch them from other computers too.");
    const QByteArray body = list ? recordingspage::Json(entries, Recording->CurrentFile())
                                 : recordingspage::Html(entries, Recording->CurrentFile(), notice);
    recordSent(body.size());
    if (!reply.SendBody(Reply::BufferOf(body),
                        list ? QByteArrayLiteral("application/json") : QByteArrayLiteral("text/html; charset=utf-8"),
                        PictureConnection::Close))
        AddToLog(QStringLiteral("Failed to send recordings to ") + reply.Peer());
}

void TFormMain::sendRecordingFile(const Reply &reply, const QByteArray &text)
{
    const std::optional<recordingfiles::Found> found =
        recordingfiles::Resolve(Recording->Folder(), recordingfiles::TargetOf(text));
    if (!found) {
        sendWhole(reply, http::TextResponse("404 Not Found", QStringLiteral("There is no such recording.")));
        return;
    }
    const qint64 size = QFileInfo(found->path).size();
    const byterange::Choice range = found->contentType == "video/mp4"
                                        ? byterange::Choose(http::HeaderValue(text, "Range"), size)
                                        : byterange::Choice{byterange::Kind::Whole, 0, size - 1};
    if (range.kind == byterange::Kind::Unsatisfiable) {
        sendWhole(reply, http::StatusResponse("416 Range Not Satisfiable",
                                              "Content-Range: bytes */" + QByteArray::number(size) + "\r\n",
                                              "text/plain", QByteArray()));
        return;
    }
    const bool part = range.kind == byterange::Kind::Part;
    QByteArray head;
    if (reply.withHttpHead)
        head = part ? fileHead("206 Partial Content", found->contentType, range.length(),
                               "Content-Range: bytes " + QByteArray::number(range.first) + '-' +
                                   QByteArray::number(range.last) + '/' + QByteArray::number(size) + "\r\n")
                    : fileHead("200 OK", found->contentType, size, QByteArray());
    std::unique_ptr<FileSpan> body = FileSpan::Open(head, found->path, range.first, range.length());
    if (!body) {
        sendWhole(reply, http::TextResponse("404 Not Found", QStringLiteral("There is no such recording.")));
        return;
    }
    recordSent(range.length());
    if (!reply.SendWhole(std::move(body)))
        AddToLog(QStringLiteral("Failed to send a recording to ") + reply.Peer());
}
