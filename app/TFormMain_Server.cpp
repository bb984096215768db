// The webcam server switched on and off, the camera's URLs, and the connection events.
#include "app/TFormMain.h"
#include "base/seams/ExceptionDisplay.h"
#include "base/seams/Seams.h"
#include "live/LiveService.h"
#include "net/ESocketError.h"
#include "net/SocketExceptionDisplay.h"
#include "net/TServerSocket.h"
#include "server/ComputerAddresses.h"
#include "server/ListeningPort.h"
#include "server/MjpegStream.h"

#include <QLineEdit>
#include <QSignalBlocker>

void TFormMain::createServerSocket()
{
    ServerSocket = new TServerSocket(this);
    ServerSocket->SetPort(0);
    ServerSocket->OnClientConnect = [this](QObject *Sender, TCustomWinSocket *Socket) {
        ServerSocketClientConnect(Sender, Socket);
    };
    ServerSocket->OnClientDisconnect = [this](QObject *Sender, TCustomWinSocket *Socket) {
        ServerSocketClientDisconnect(Sender, Socket);
    };
    ServerSocket->OnClientRead = [this](QObject *Sender, TCustomWinSocket *Socket) {
        ServerSocketClientRead(Sender, Socket);
    };
    // Only stream viewers wait for room to write: sends of whole answers go through WriteStream.
    ServerSocket->OnClientWrite = [this](QObject *, TCustomWinSocket *Socket) { Stream->Writable(Socket); };
    ServerSocket->OnClientError = [this](QObject *Sender, TCustomWinSocket *Socket, TErrorEvent ErrorEvent,
                                         int &ErrorCode) {
        ServerSocketClientError(Sender, Socket, ErrorEvent, ErrorCode);
    };
    // An error escaping a connection's handler is shown like any other, and the server goes on.
    SetSocketExceptionDisplay(ShowCurrentException);
}

void TFormMain::connectServerHandlers()
{
    // toggled, not clicked: the program switches the server by setting the box, too.
    ConnectGuarded(CheckBox, &QCheckBox::toggled, this, &TFormMain::CheckBoxClick);
    ConnectGuarded(Button_CopyToClipboard, &QPushButton::clicked, this, &TFormMain::Button_CopyToClipboardClick);
    ConnectGuarded(Offline, &QCheckBox::toggled, this, &TFormMain::OfflineClick);
    headDeadlines_.setInterval(1000);
    ConnectGuarded(&headDeadlines_, &QTimer::timeout, this, &TFormMain::closeOverdueHeads);
    lockoutEnds_.setInterval(1000);
    ConnectGuarded(&lockoutEnds_, &QTimer::timeout, this, &TFormMain::endLockouts);
}

void TFormMain::CheckBoxClick()
{
    if (CheckBox->isChecked())
        startServer();
    else
        stopServer();
}

void TFormMain::startServer()
{
    AddToLog(QStringLiteral("Server starting..."));
    AddToLog(QStringLiteral("Cached %1 server threads").arg(ServerSocket->ThreadCacheSize()));
    ServerSocket->SetPort(listening::Port(SpinEdit->value()));
    try {
        ServerSocket->SetActive(true);
    } catch (const ESocketError &error) {
        // The box must not say the server is on when it is not; the error is still shown.
        AddToLog(QStringLiteral("Server not started on port %1: %2").arg(ServerSocket->Port()).arg(error.message()));
        const QSignalBlocker quiet(CheckBox);
        CheckBox->setChecked(false);
        throw;
    }
    SpinEdit->setReadOnly(true);
    Offline->setEnabled(true);
    UrlBox->setEnabled(true);
    startHttps();
    BuildUrlList();
    AddToLog(QStringLiteral("Server started!"));
    Live->Start();
    followOnvif();
}

void TFormMain::stopServer()
{
    UrlBox->setEnabled(false);
    Offline->setEnabled(false);
    ServerSocket->SetActive(false);
    stopHttps();
    Stream->Clear();
    Live->Stop();
    SpinEdit->setReadOnly(false);
    AddToLog(QStringLiteral("Server stopped!"));
    followOnvif();
}

void TFormMain::BuildUrlList()
{
    Url->clear();
    Url->setEditText(QString());
    const std::optional<QString> hostName = computer::HostName();
    if (!hostName) {
        AddToLog(QStringLiteral("Error when getting hostname"));
        return;
    }
    AddToLog(QStringLiteral("Hostname: ") + *hostName);
    const QStringList addresses = computer::Addresses();
    if (addresses.isEmpty()) {
        seams::ShowMessage(this, QStringLiteral("Warning"), QStringLiteral("Bad host lookup"));
        Url->setEditText(QStringLiteral("Could not resolve address"));
        return;
    }
    for (int n = 0; n < addresses.size(); ++n) {
        AddToLog(QStringLiteral("Found Address #%1: %2").arg(n).arg(addresses.at(n)));
        const QString url =
            QStringLiteral("%1://%2:%3/").arg(HttpsOn() ? u"https" : u"http", addresses.at(n)).arg(SpinEdit->value());
        Url->addItem(url);
        Url->setEditText(url);
    }
}

void TFormMain::Button_CopyToClipboardClick()
{
    if (!CheckBox->isChecked()) {
        seams::ShowMessage(this, QStringLiteral("Warning"),
                           QStringLiteral("The server must be enabled to create your URL"));
        return;
    }
    if (QLineEdit *edit = Url->lineEdit())
        edit->selectAll();
    seams::SetClipboardText(Url->currentText());
}

void TFormMain::ServerSocketClientConnect(QObject *, TCustomWinSocket *Socket)
{
    if (LogConnects->isChecked())
        AddToLog(QStringLiteral("Connect from ") + Socket->PeerAddress());
}

void TFormMain::ServerSocketClientDisconnect(QObject *, TCustomWinSocket *Socket)
{
    Stream->RemoveViewer(Socket);
    heads_.Forget(Socket);
    if (LogDisconnects->isChecked())
        AddToLog(QStringLiteral("Disconnected ") + Socket->PeerAddress());
}

void TFormMain::ServerSocketClientError(QObject *, TCustomWinSocket *, TErrorEvent ErrorEvent, int &ErrorCode)
{
    switch (ErrorEvent) {
    case TErrorEvent::eeGeneral:
        AddToLog(QStringLiteral("The socket received an unknown error message"));
        break;
    case TErrorEvent::eeSend:
        AddToLog(QStringLiteral("Error trying to write to socket"));
        break;
    case TErrorEvent::eeReceive:
        AddToLog(QStringLiteral("Error receiving from socket"));
        break;
    case TErrorEvent::eeConnect:
        AddToLog(QStringLiteral("Socket could not connect to server"));
        break;
    case TErrorEvent::eeDisconnect:
        AddToLog(QStringLiteral("Error closing connection"));
        break;
    case TErrorEvent::eeAccept:
        AddToLog(QStringLiteral("Error accepting client socket request"));
        break;
    }
    ErrorCode = 0;
}
