#include "net/TCustomServerSocket.h"

TCustomServerSocket::TCustomServerSocket(QObject *parent)
    : TCustomSocket(parent), FServerSocket(std::make_unique<TServerWinSocket>())
{
    Attach(FServerSocket.get());
}

TCustomServerSocket::~TCustomServerSocket() { Detach(FServerSocket.get()); }

void TCustomServerSocket::DoActivate(bool Value)
{
    if (Value)
        FServerSocket->Listen(static_cast<quint16>(Port()), TServerWinSocket::MaxQueueSize);
    else
        FServerSocket->Stop();
}
