// The plain-text commands: "SAY:", "MSG:" and "STATUS" ("QUIT" only closes).
#include "app/Globals.h"
#include "app/TFormMain.h"
#include "base/AppInfo.h"
#include "base/seams/Seams.h"
#include "base/widgets/WindowPlacement.h"
#include "capture/TFormPreview.h"
#include "net/TCustomWinSocket.h"
#include "server/CommandText.h"
#include "stats/TFormBandwidth.h"

#include <QPointer>
#include <QScopeGuard>

void TFormMain::SayCommand(const QByteArray &text) { AddToLog(command::MessageText(text)); }

void TFormMain::MsgCommand(TCustomWinSocket *Socket, const QByteArray &text)
{
    const QPointer<TCustomWinSocket> connection(Socket);
    const QString peer = Socket->PeerAddress();
    AddToLog(QStringLiteral("Received MSG from ") + peer);
    const QDateTime now = seams::Now();
    if (openMessageBoxes_ >= MaxOpenMessageBoxes) {
        // Logged once a minute per peer: a flood would otherwise bury the log.
        if (messageOverflowLog_.Allows(peer, now))
            AddToLog(QStringLiteral("Message from %1 not shown (%2 messages are open already): %3")
                         .arg(peer)
                         .arg(openMessageBoxes_)
                         .arg(command::MessageText(text)));
    } else if (!messageBoxPacing_.Allows(peer, now)) {
        // A peer sending message after message would keep the desktop covered in boxes.
        if (messageRefusalLog_.Allows(peer, now))
            AddToLog(QStringLiteral("Message from %1 not shown (one message box every %2 seconds): %3")
                         .arg(peer)
                         .arg(MessageBoxSpacingSeconds)
                         .arg(command::MessageText(text)));
    } else {
        ++openMessageBoxes_;
        const auto closed = qScopeGuard([this] { --openMessageBoxes_; });
        seams::ShowPeerMessage(this, peer, command::MessageText(text));
    }
    // The peer may have gone, and the server may have let the connection go, while the box was open.
    if (connection)
        connection->CloseConnection();
}

void TFormMain::StatusCommand(TCustomWinSocket *Socket)
{
    AddToLog(Socket->PeerAddress() + QStringLiteral(" Requested server status"));
    command::StatusFacts facts;
    facts.version = AppVersion;
    facts.now = seams::Now();
    facts.jpegQuality = JPEGQuality->value();
    const QSize preview = windowplacement::OuterRect(FormPreview).size();
    facts.previewWidth = preview.width();
    facts.previewHeight = preview.height();
    facts.totalSent = FormBandwidth->Edit2->text();
    Socket->WriteText(command::StatusReport(facts));
    Socket->CloseConnection();
}
