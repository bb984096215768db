// Every request is counted, recorded and answered here: one read event for a request without
// an HTTP version, the whole head for one with it.
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/seams/Seams.h"
#include "capture/TFormPreview.h"
#include "net/TServerSocket.h"
#include "resources/BuiltInResources.h"
#include "server/BasicCredentials.h"
#include "server/HttpFraming.h"
#include "server/MjpegStream.h"
#include "server/RequestDispatch.h"
#include "server/ShareToken.h"
#include "server/WindowPicture.h"
#include "stats/TFormBandwidth.h"
#include "stats/TFormChart.h"
#include "stats/TFormRequestedIPs.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

namespace {

const QByteArray HtmlType = QByteArrayLiteral("text/html");
const QByteArray JpegType = QByteArrayLiteral("image/jpeg");

} // namespace

void TFormMain::ServerSocketClientRead(QObject *, TCustomWinSocket *Socket)
{
    const QByteArray received = Socket->ReadAvailableText();
    // What a viewer sends after asking for the stream (the rest of its head) asks for nothing.
    if (Stream->IsViewer(Socket))
        return;
    QByteArray text;
    switch (heads_.Add(Socket, received, text)) {
    case HeadGathering::Outcome::Waiting:
        if (!headDeadlines_.isActive())
            headDeadlines_.start();
        return;
    case HeadGathering::Outcome::TooLong:
        Socket->CloseConnection();
        return;
    case HeadGathering::Outcome::TooLarge:
        sendWhole(Reply{Socket, true},
                  http::TextResponse("413 Content Too Large", QStringLiteral("The body is too large.")));
        return;
    case HeadGathering::Outcome::Ready:
        break;
    }
    const QByteArray head = request::Head(text);
    const request::Kind kind = request::Classify(head);
    if (redirectedToHttps(Socket, kind, text))
        return;
    // A browser's preflight carries no credentials: it is never asked for them.
    if (kind == request::Kind::WhepOptions)
        serveRequest(Socket, text, {});
    else if (kind == request::Kind::Onvif)
        admitOnvif(Socket, text);
    else
        admit(Socket, text);
}

// A refused request is no request served: only what is admitted is counted, recorded and answered.
void TFormMain::serveRequest(TCustomWinSocket *Socket, const QByteArray &text, const QByteArray &moreHead)
{
    const QByteArray head = request::Head(text);
    const request::Kind kind = request::Classify(head);
    if (LogRequests->isChecked()) {
        const QByteArray shown =
            http::WithoutShareToken(viewerAccess_->Required() ? http::WithoutAuthorization(head) : head);
        AddToLog(QStringLiteral("Received ") + QString::fromLatin1(shown) + QStringLiteral(" from ") +
                 Socket->PeerAddress());
    }
    countRequest(Socket->PeerAddress());

    const Reply reply{Socket, http::NamesHttpVersion(text), moreHead};
    switch (kind) {
    case request::Kind::TitleImage:
        SendResource(reply, QStringLiteral("ResImage"));
        break;
    case request::Kind::Picture:
        notePictureViewer(Socket->PeerAddress());
        sendCameraPicture(reply, PictureConnection::Close);
        break;
    case request::Kind::StreamPicture:
        sendCameraPicture(reply, PictureConnection::KeepOpen);
        break;
    case request::Kind::WindowPicture:
        sendWindowPicture(reply, request::WindowChoice(head));
        break;
    case request::Kind::Say:
        SayCommand(text);
        break;
    case request::Kind::Msg:
        MsgCommand(Socket, text);
        break;
    case request::Kind::Quit:
        Socket->CloseConnection();
        break;
    case request::Kind::Status:
        StatusCommand(Socket);
        break;
    case request::Kind::Stream:
        startStream(reply);
        break;
    case request::Kind::Snapshot:
        sendCameraPicture(reply, PictureConnection::Close);
        break;
    case request::Kind::State:
        sendState(reply);
        break;
    case request::Kind::LivePage:
        SendResource(reply, QStringLiteral("HtmlLive"));
        break;
    case request::Kind::WhepOffer:
        whepOffer(reply, text);
        break;
    case request::Kind::WhepEnd:
        whepEnd(reply, text);
        break;
    case request::Kind::WhepOptions:
        whepOptions(reply, text);
        break;
    case request::Kind::RecordingsList:
    case request::Kind::RecordingFile:
    case request::Kind::RecordingsPage:
        sendRecordings(reply, kind, text);
        break;
    case request::Kind::Onvif:
        sendOnvifAnswer(reply, text);
        break;
    case request::Kind::Index:
        SendResource(reply, QStringLiteral("HtmlIndex"));
        break;
    }
}

// A head that has not ended in time ends its connection.
void TFormMain::closeOverdueHeads()
{
    for (QObject *connection : heads_.TakeOverdue()) {
        if (auto *socket = qobject_cast<TCustomWinSocket *>(connection))
            socket->CloseConnection();
    }
    if (heads_.IsEmpty())
        headDeadlines_.stop();
}

void TFormMain::SendResource(const Reply &reply, const QString &name)
{
    std::unique_ptr<QIODevice> stream = OpenBuiltInResource(name);
    if (!stream)
        return;
    recordSent(stream->size());
    const QByteArray type = name.startsWith(QStringLiteral("Html"), Qt::CaseInsensitive) ? HtmlType : JpegType;
    if (!reply.SendBody(std::move(stream), type, PictureConnection::Close))
        AddToLog(QStringLiteral("Failed to send ") + name + QStringLiteral(" stream to ") + reply.Peer());
}

void TFormMain::sendCameraPicture(const Reply &reply, PictureConnection connection)
{
    if (Offline->isChecked()) {
        SendResource(reply, QStringLiteral("OfflineImage"));
        return;
    }
    GrabFrame();
    // A grab that found no frame stops the server, and with it this connection.
    if (!reply.socket || !reply.socket->Connected())
        return;
    if (reply.SendBody(BuildFrameStream(), JpegType, connection))
        return;
    AddToLog((connection == PictureConnection::Close ? QStringLiteral("Failed to send /pic stream to ")
                                                     : QStringLiteral("Failed to send streampic stream to ")) +
             reply.Peer());
}

void TFormMain::sendWindowPicture(const Reply &reply, char choice)
{
    QWidget *window = this;
    if (choice == '1')
        window = FormChart;
    else if (choice == '2')
        window = FormRequestedIPs;
    else if (choice == '3')
        window = FormPreview;
    std::unique_ptr<QIODevice> stream = Reply::BufferOf(windowpicture::ClientAreaJpeg(window));
    recordSent(stream->size());
    if (!reply.SendBody(std::move(stream), JpegType, PictureConnection::Close))
        AddToLog(QStringLiteral("Failed to send Chart1 stream to ") + reply.Peer());
}

void TFormMain::recordSent(qint64 bytes) { FormBandwidth->RecordSent(bytes); }

void TFormMain::countRequest(const QString &peer)
{
    FormChart->CountRequest();
    FormRequestedIPs->AddRequestedIP(peer);
}
