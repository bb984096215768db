#include "net/TServerClientWinSocket.h"

#include "net/TServerWinSocket.h"

TServerClientWinSocket::TServerClientWinSocket(int Handle, quint32 PeerAddress, TServerWinSocket *ServerWinSocket)
    : server_(ServerWinSocket)
{
    AdoptHandle(Handle);
    MarkConnected();
    SetPeer(PeerAddress);
    server_->AddClient(this);
    OnSocketEvent = [server = server_](TCustomWinSocket *socket, TSocketEvent event) {
        server->ClientEvent(socket, event);
    };
    OnErrorEvent = [server = server_](TCustomWinSocket *socket, TErrorEvent event, int &code) {
        server->ClientError(socket, event, code);
    };
}

TServerClientWinSocket::~TServerClientWinSocket() { Detach(); }

void TServerClientWinSocket::Start()
{
    Touch();
    // No write event at the start: nothing listens for it, and every connection would
    // cost one more round of the event loop.
    WatchConnection(false);
    Event(TSocketEvent::seConnect);
}

void TServerClientWinSocket::Detach()
{
    OnSocketEvent = nullptr;
    OnErrorEvent = nullptr;
    ReleaseQuietly();
    if (server_)
        server_->RemoveClient(this);
    server_ = nullptr;
}

void TServerClientWinSocket::ScheduleRelease() { ReleaseWhenIdle(); }
