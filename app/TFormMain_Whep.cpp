// WebRTC viewers of the page: a browser posts its offer to /whep and gets the answer with
// every candidate in it; a DELETE of the resource it was given ends its viewing.
#include "app/TFormMain.h"
#include "live/WhepSessions.h"
#include "net/TCustomWinSocket.h"
#include "server/HttpFraming.h"

namespace {

// Pages of other origins may play the camera too: they must see the resource's address.
const QByteArray CrossOrigin = QByteArrayLiteral("Access-Control-Allow-Origin: *\r\n"
                                                 "Access-Control-Expose-Headers: Location\r\n");

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
    if (!reply.socket->WriteStreamThenClose(bufferOf(response)))
        reply.socket->CloseConnection();
}

void TFormMain::whepOffer(const Reply &reply, const QByteArray &text)
{
    const qsizetype headEnd = http::HeadEnd(text);
    const QByteArray offer = headEnd >= 0 ? text.mid(headEnd) : QByteArray();
    const QString peer = peerOf(reply);
    Whep->SetStunServer(StunServer);
    auto answered = [this, reply, peer](const QByteArray &resource, const QByteArray &answer, const QString &failure) {
        if (answer.isEmpty()) {
            AddToLog(QStringLiteral("WebRTC viewer from %1 not started: %2").arg(peer, failure));
            sendWhole(reply, http::TextResponse("503 Service Unavailable", failure));
            return;
        }
        AddToLog(QStringLiteral("WebRTC viewer from %1").arg(peer));
        sendWhole(reply, http::StatusResponse("201 Created", "Location: " + resource + "\r\n" + CrossOrigin,
                                              "application/sdp", answer));
    };
    QString failure;
    switch (Whep->Offer(offer, peer, answered, failure)) {
    case WhepSessions::Refusal::None:
        return;
    case WhepSessions::Refusal::BadOffer:
        sendWhole(reply, http::TextResponse("400 Bad Request", failure));
        return;
    case WhepSessions::Refusal::Full:
    case WhepSessions::Refusal::Unavailable:
        sendWhole(reply, http::TextResponse("503 Service Unavailable", failure));
        return;
    }
}

void TFormMain::whepEnd(const Reply &reply, const QByteArray &text)
{
    if (Whep->End(requestPath(text))) {
        AddToLog(QStringLiteral("WebRTC viewer from %1 left").arg(peerOf(reply)));
        sendWhole(reply, http::StatusResponse("204 No Content", CrossOrigin, {}, {}));
    } else {
        sendWhole(reply, http::TextResponse("404 Not Found", QStringLiteral("no such viewer")));
    }
}

void TFormMain::whepOptions(const Reply &reply)
{
    sendWhole(reply, http::StatusResponse("204 No Content",
                                          CrossOrigin + "Access-Control-Allow-Methods: POST, DELETE, OPTIONS\r\n"
                                                        "Access-Control-Allow-Headers: Content-Type, Authorization\r\n",
                                          {}, {}));
}
