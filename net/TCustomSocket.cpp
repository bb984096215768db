#include "net/TCustomSocket.h"

#include "net/ESocketError.h"

TCustomSocket::TCustomSocket(QObject *parent) : TAbstractSocket(parent) {}

void TCustomSocket::CheckInactive() const
{
    if (FActive)
        throw ESocketError::CantChangeWhileActive();
}

bool TCustomSocket::ChangeText(QString &Property, const QString &Value)
{
    if (Property.compare(Value, Qt::CaseInsensitive) == 0)
        return false;
    CheckInactive();
    Property = Value;
    return true;
}

void TCustomSocket::SetHost(const QString &Value) { ChangeText(FHost, Value); }

void TCustomSocket::SetAddress(const QString &Value) { ChangeText(FAddress, Value); }

void TCustomSocket::SetService(const QString &Value) { ChangeText(FService, Value); }

void TCustomSocket::SetPort(int Value)
{
    if (Value == FPort)
        return;
    CheckInactive();
    FPort = Value;
}

void TCustomSocket::Event(TCustomWinSocket *Socket, TSocketEvent SocketEvent)
{
    const TSocketNotifyEvent *handler = nullptr;
    switch (SocketEvent) {
    case TSocketEvent::seLookup:
        handler = &OnLookup;
        break;
    case TSocketEvent::seConnecting:
        handler = &OnConnecting;
        break;
    case TSocketEvent::seConnect:
        FActive = true;
        handler = &OnConnect;
        break;
    case TSocketEvent::seDisconnect:
        FActive = false;
        handler = &OnDisconnect;
        break;
    case TSocketEvent::seListen:
        FActive = true;
        handler = &OnListen;
        break;
    case TSocketEvent::seAccept:
        handler = &OnAccept;
        break;
    case TSocketEvent::seWrite:
        handler = &OnWrite;
        break;
    case TSocketEvent::seRead:
        handler = &OnRead;
        break;
    }
    if (handler && *handler)
        (*handler)(this, Socket);
}

void TCustomSocket::Error(TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode)
{
    if (OnError)
        OnError(this, Socket, ErrorEvent, ErrorCode);
}
