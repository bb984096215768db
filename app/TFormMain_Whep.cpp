// WebRTC viewers of the page: a browser posts its offer to /whep and gets the answer with
// every candidate in it; a DELETE of the resource it was given ends its viewing. Pages of
// other origins get in only when the settings name them.
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "live/LiveService.h"
#include "server/HeadGathering.h"
#include "server/HttpFraming.h"

namespace {

// The path a request names: its first line's second word.
QByteArray requestPath(const QByteArray &text)
{
    const QList<QByteArray> words = text.left(text.indexOf('\n')).simplified().split(' ');
    return words.size() > 1 ? words.at(1) : QByteArray();
}

} // namespace

void TFormMain::sendWhole(const Reply &reply, const QByteArray &response)
{
    if (!reply.socket)
        return;
    recordSent(response.size());
    reply.SendWhole(response);
}

// A page of another origin that the settings do not name is told no, once in the log a minute.
bool TFormMain::refusedOrigin(const Reply &reply, const QByteArray &text)
{
    if (crossOrigin_.Admits(text))
        return false;
    const QString origin = QString::fromLatin1(http::HeaderValue(text, "Origin").value_or(QByteArray()));
    if (refusalLog_.Allows(reply.Peer(), seams::Now()))
        AddToLog(QStringLiteral("Refused a WebRTC request from %1: the page of %2 is not allowed")
                     .arg(reply.Peer(), origin));
    sendWhole(reply,
              http::TextResponse("403 Forbidden", QStringLiteral("pages of this origin may not play the camera")));
    return true;
}

void TFormMain::whepOffer(const Reply &reply, const QByteArray &text)
{
    if (refusedOrigin(reply, text))
        return;
    const qsizetype headEnd = http::HeadEnd(text);
    const QByteArray offer = headEnd >= 0 ? text.mid(headEnd) : QByteArray();
    const QString peer = reply.Peer();
    const QByteArray corsHeaders = crossOrigin_.HeadersFor(text);
    // Set once the answer went: a connection that goes before gives its viewer's slot back.
    auto answerSent = std::make_shared<bool>(false);
    auto answered = [this, reply, peer, corsHeaders, answerSent](const QByteArray &resource, const QByteArray &answer,
                                                                 const QString &failure) {
        *answerSent = true;
        if (answer.isEmpty()) {
            AddToLog(QStringLiteral("WebRTC viewer from %1 not started: %2").arg(peer, failure));
            sendWhole(reply, http::TextResponse("503 Service Unavailable", failure));
            return;
        }
        AddToLog(QStringLiteral("WebRTC viewer from %1").arg(peer));
        sendWhole(reply, http::StatusResponse("201 Created", "Location: " + resource + "\r\n" + corsHeaders,
                                              "application/sdp", answer));
    };
    QString failure;
    QByteArray resource;
    const WhepSessions::Refusal refusal = Live->OfferViewer(offer, peer, answered, failure, &resource);
    if (refusal == WhepSessions::Refusal::None) {
        noteShareViewer(reply, resource);
        if (reply.socket)
            connect(reply.socket, &QObject::destroyed, Live.get(), [live = Live.get(), resource, answerSent] {
                if (!*answerSent)
                    live->EndViewer(resource);
            });
        return;
    }
    if (refusalLog_.Allows(peer, seams::Now()))
        AddToLog(QStringLiteral("WebRTC viewer from %1 not started: %2").arg(peer, failure));
    sendWhole(reply,
              http::TextResponse(
                  refusal == WhepSessions::Refusal::BadOffer ? "400 Bad Request" : "503 Service Unavailable", failure));
}

void TFormMain::whepEnd(const Reply &reply, const QByteArray &text)
{
    if (refusedOrigin(reply, text))
        return;
    if (Live->EndViewer(requestPath(text))) {
        AddToLog(QStringLiteral("WebRTC viewer from %1 left").arg(reply.Peer()));
        sendWhole(reply, http::StatusResponse("204 No Content", crossOrigin_.HeadersFor(text), {}, {}));
    } else {
        sendWhole(reply, http::TextResponse("404 Not Found", QStringLiteral("no such viewer")));
    }
}

// A preflight carries no credentials: it is answered before the password is asked for, and
// tells an allowed page that it may send them.
void TFormMain::whepOptions(const Reply &reply, const QByteArray &text)
{
    if (refusedOrigin(reply, text))
        return;
    const QByteArray cors = crossOrigin_.HeadersFor(text);
    sendWhole(reply, http::StatusResponse("204 No Content",
                                          cors.isEmpty()
                                              ? cors
                                              : cors + "Access-Control-Allow-Methods: POST, DELETE, OPTIONS\r\n"
                                                       "Access-Control-Allow-Headers: Content-Type, Authorization\r\n"
                                                       "Access-Control-Allow-Credentials: true\r\n",
                                          {}, {}));
}
