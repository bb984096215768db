#include "net/TServerSocket.h"

TServerSocket::TServerSocket(QObject *parent)
    : TCustomServerSocket(parent), OnClientConnect(FServerSocket->OnClientConnect),
      OnClientDisconnect(FServerSocket->OnClientDisconnect), OnClientRead(FServerSocket->OnClientRead),
      OnClientWrite(FServerSocket->OnClientWrite), OnClientError(FServerSocket->OnClientError)
{
}

void TServerSocket::SetServerType(TServerType Value)
{
    if (Value == FServerSocket->ServerType)
        return;
    CheckInactive();
    FServerSocket->ServerType = Value;
}
