#include "net/TServerWinSocket.h"

#include "net/ESocketError.h"
#include "net/SocketErrors.h"
#include "net/TServerClientWinSocket.h"

#include <QTimer>

#include <algorithm>
#include <cerrno>

namespace {

// Connections taken per accept notification, so that a flood cannot starve the others.
constexpr int AcceptBatch = 64;

bool OutOfDescriptors(int error)
{
    return error == SocketErrors::FromErrno(EMFILE) || error == SocketErrors::FromErrno(ENOBUFS);
}

bool WorthRetrying(int error)
{
    return error == SocketErrors::FromErrno(ECONNABORTED) || error == SocketErrors::FromErrno(EINTR) ||
           error == SocketErrors::FromErrno(EPROTO);
}

} // namespace

TServerWinSocket::TServerWinSocket(QObject *parent) : TCustomWinSocket(parent) {}

TServerWinSocket::~TServerWinSocket()
{
    OnSocketEvent = nullptr;
    OnErrorEvent = nullptr;
    FreeConnections();
}

void TServerWinSocket::Listen(quint16 Port, int QueueSize)
{
    if (Connected())
        throw ESocketError::CantListenOnOpenSocket();
    int error = 0;
    const int handle = PosixSocket::CreateStream(error);
    if (handle == PosixSocket::InvalidHandle)
        throw ESocketError::CantCreateSocket();
    AdoptHandle(handle);
    try {
        if (const int bindError = PosixSocket::BindAny(handle, Port))
            throw ESocketError::Platform(bindError, "bind");
        WatchForAccept();
        Event(TSocketEvent::seListen);
        if (const int listenError = PosixSocket::Listen(handle, std::min(QueueSize, MaxQueueSize)))
            throw ESocketError::Platform(listenError, "listen");
        MarkConnected();
    } catch (...) {
        Close(handle);
        throw;
    }
}

void TServerWinSocket::Stop() { Close(SocketHandle()); }

void TServerWinSocket::Close(int Handle)
{
    if (Handle != PosixSocket::InvalidHandle && Handle == SocketHandle())
        FreeConnections();
    TCustomWinSocket::Close(Handle);
}

// The newest first. A connection whose event is being handled right now is only closed
// and detached here, and freed once the event loop is back.
void TServerWinSocket::FreeConnections()
{
    while (!connections_.isEmpty()) {
        TServerClientWinSocket *client = connections_.last();
        client->Detach();
        if (client->Dispatching())
            client->ScheduleRelease();
        else
            delete client;
    }
}

// Handlers run while connections are taken (making room closes one) and may stop the
// listener; then the rest waits in the queue and is refused with it.
void TServerWinSocket::Accept(int Handle)
{
    for (int taken = 0; taken < AcceptBatch && Listening(Handle); ++taken) {
        const PosixSocket::Accepted accepted = PosixSocket::Accept(Handle);
        if (accepted.handle != PosixSocket::InvalidHandle) {
            AcceptOne(Handle, accepted);
            continue;
        }
        if (OutOfDescriptors(accepted.error)) {
            // Whoever holds the idlest connection gives way, or nobody new gets in for good.
            int open = 0;
            if (TServerClientWinSocket *idlest = Idlest(open)) {
                idlest->CloseConnection();
                continue;
            }
            PauseAccepting(Handle);
        }
        if (!WorthRetrying(accepted.error))
            return;
    }
}

void TServerWinSocket::AcceptOne(int Handle, const PosixSocket::Accepted &accepted)
{
    MakeRoomForOneMore();
    if (!Listening(Handle)) {
        PosixSocket::Close(accepted.handle);
        return;
    }
    auto *client = new TServerClientWinSocket(accepted.handle, accepted.peerAddress, this);
    if (Tls)
        client->OfferTls(Tls, TlsHandshakeLimitMs);
    client->Start();
    Event(TSocketEvent::seAccept);
}

bool TServerWinSocket::Listening(int Handle) const { return Handle == SocketHandle() && !Closing(); }

// A connection inside its own disconnect event (its handler may be showing a box) is on its
// way out already: it counts, but cannot be closed a second time.
void TServerWinSocket::MakeRoomForOneMore()
{
    for (;;) {
        int open = 0;
        TServerClientWinSocket *idlest = Idlest(open);
        if (open < ConnectionCap() || !idlest)
            return;
        idlest->CloseConnection();
    }
}

int TServerWinSocket::ConnectionCap() const
{
    return std::max(std::min(MaxConnections, PosixSocket::DescriptorLimit() - DescriptorReserve), 1);
}

// The open connection that has been quiet longest and can be closed; open counts them all.
TServerClientWinSocket *TServerWinSocket::Idlest(int &open) const
{
    TServerClientWinSocket *idlest = nullptr;
    open = 0;
    for (TServerClientWinSocket *client : std::as_const(connections_)) {
        if (!client->Connected())
            continue;
        ++open;
        if (!client->Closing() && (!idlest || client->LastActivity() < idlest->LastActivity()))
            idlest = client;
    }
    return idlest;
}

// Without a free descriptor the pending connection stays in the queue, and a level-
// triggered notifier would report it again at once; so the listener rests a moment.
void TServerWinSocket::PauseAccepting(int Handle)
{
    SetAccepting(false);
    QTimer::singleShot(AcceptPauseMs, this, [this, Handle] {
        if (Handle == SocketHandle())
            SetAccepting(true);
    });
}

void TServerWinSocket::AddClient(TServerClientWinSocket *Client)
{
    if (!connections_.contains(Client))
        connections_.append(Client);
}

void TServerWinSocket::RemoveClient(TServerClientWinSocket *Client) { connections_.removeOne(Client); }

void TServerWinSocket::ClientEvent(TCustomWinSocket *Socket, TSocketEvent SocketEvent)
{
    const TSocketNotifyEvent *handler = nullptr;
    switch (SocketEvent) {
    case TSocketEvent::seConnect:
        handler = &OnClientConnect;
        break;
    case TSocketEvent::seDisconnect:
        static_cast<TServerClientWinSocket *>(Socket)->ScheduleRelease();
        handler = &OnClientDisconnect;
        break;
    case TSocketEvent::seRead:
        handler = &OnClientRead;
        break;
    case TSocketEvent::seWrite:
        handler = &OnClientWrite;
        break;
    default:
        return;
    }
    if (*handler)
        (*handler)(this, Socket);
}

void TServerWinSocket::ClientError(TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode)
{
    if (OnClientError)
        OnClientError(this, Socket, ErrorEvent, ErrorCode);
}
