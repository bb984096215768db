#include "net/TAbstractSocket.h"

#include "net/TCustomWinSocket.h"

TAbstractSocket::TAbstractSocket(QObject *parent) : QObject(parent) {}

void TAbstractSocket::SetActive(bool Value)
{
    if (Value != FActive)
        DoActivate(Value);
}

void TAbstractSocket::Attach(TCustomWinSocket *Socket)
{
    Socket->OnSocketEvent = [this](TCustomWinSocket *socket, TSocketEvent event) { Event(socket, event); };
    Socket->OnErrorEvent = [this](TCustomWinSocket *socket, TErrorEvent event, int &code) {
        Error(socket, event, code);
    };
}

void TAbstractSocket::Detach(TCustomWinSocket *Socket)
{
    Socket->OnSocketEvent = nullptr;
    Socket->OnErrorEvent = nullptr;
}
