#include "net/TClientSocket.h"

TClientSocket::TClientSocket(QObject *parent)
    : TCustomSocket(parent), FClientSocket(std::make_unique<TClientWinSocket>())
{
    Attach(FClientSocket.get());
}

TClientSocket::~TClientSocket() { Detach(FClientSocket.get()); }

void TClientSocket::SetActive(bool Value)
{
    if (Value && FClientSocket->Connected())
        return DoActivate(true);
    TCustomSocket::SetActive(Value);
}

void TClientSocket::SetClientType(TClientType Value)
{
    if (Value == FClientSocket->ClientType)
        return;
    CheckInactive();
    FClientSocket->ClientType = Value;
}

void TClientSocket::DoActivate(bool Value)
{
    if (Value)
        FClientSocket->Open(Host(), Address(), Service(), static_cast<quint16>(Port()));
    else
        FClientSocket->CloseConnection();
}
