#include "net/TCustomWinSocket.h"

#include "net/ESocketError.h"
#include "net/TlsSession.h"

#include <utility>

namespace {

quint64 NextActivityStamp()
{
    static quint64 stamp = 0;
    return ++stamp;
}

TErrorEvent ErrorKindOf(TNotification notification)
{
    switch (notification) {
    case TNotification::Connect:
        return TErrorEvent::eeConnect;
    case TNotification::Close:
        return TErrorEvent::eeDisconnect;
    case TNotification::Read:
        return TErrorEvent::eeReceive;
    case TNotification::Write:
        return TErrorEvent::eeSend;
    case TNotification::Accept:
        return TErrorEvent::eeAccept;
    }
    return TErrorEvent::eeGeneral;
}

} // namespace

TCustomWinSocket::TCustomWinSocket(QObject *parent)
    : QObject(parent),
      notifiers_(
          this, [this] { Deliver([this] { Readable(); }); }, [this] { Deliver([this] { Writable(); }); })
{
}

// Freeing an endpoint ends its connection without any event.
TCustomWinSocket::~TCustomWinSocket()
{
    OnSocketEvent = nullptr;
    OnErrorEvent = nullptr;
    if (handle_ != PosixSocket::InvalidHandle)
        Shutdown(handle_);
}

void TCustomWinSocket::Notify(int Handle, TNotification Notification, int ErrorCode)
{
    if (ErrorCode != 0) {
        int code = ErrorCode;
        Error(ErrorKindOf(Notification), code);
        if (code != 0)
            throw ESocketError::Asynchronous(code);
        return;
    }
    if (Handle != handle_)
        return;
    switch (Notification) {
    case TNotification::Accept:
        return Accept(Handle);
    case TNotification::Connect:
        return Connect(Handle);
    case TNotification::Close:
        return Close(Handle);
    case TNotification::Read:
        return Read(Handle);
    case TNotification::Write:
        return Write(Handle);
    }
}

void TCustomWinSocket::Accept(int) {}

void TCustomWinSocket::Connect(int) {}

void TCustomWinSocket::Read(int) { Event(TSocketEvent::seRead); }

void TCustomWinSocket::Write(int)
{
    if (PendingStream)
        SendPendingStream();
    else
        Event(TSocketEvent::seWrite);
}

void TCustomWinSocket::CloseConnection() { Close(handle_); }

// The disconnect event fires once, while the handle is still open; a close asked for
// during that event, or after it, finds the connection already gone.
void TCustomWinSocket::Close(int Handle)
{
    CancelLookup();
    if (Handle == PosixSocket::InvalidHandle || Handle != handle_ || Closing())
        return;
    switch (state_) {
    case State::Listening:
        Become(State::ClosingListener);
        break;
    case State::Connected:
    case State::ClosingAfterSend:
        Become(State::Closing);
        break;
    case State::PeerFinished:
    case State::PeerFinishedClosingAfterSend:
        Become(State::ClosingPeerFinished);
        break;
    default:
        Become(State::ClosingUnconnected);
        break;
    }
    try {
        Event(TSocketEvent::seDisconnect);
    } catch (...) {
        if (Handle == handle_)
            Shutdown(Handle);
        throw;
    }
    // The event may have closed it already (a server stopped by the handler, for one); the
    // number may belong to another socket by now.
    if (Handle != handle_)
        return;
    if (const int error = Shutdown(Handle))
        throw ESocketError::Platform(error, "closesocket");
}

int TCustomWinSocket::Shutdown(int Handle)
{
    EndTls();
    notifiers_.Detach();
    const int error = PosixSocket::Close(Handle);
    handle_ = PosixSocket::InvalidHandle;
    Become(State::Idle);
    peer_.clear();
    PendingStream.reset();
    return error;
}

void TCustomWinSocket::ReleaseQuietly()
{
    CancelLookup();
    if (handle_ != PosixSocket::InvalidHandle)
        Shutdown(handle_);
}

// The callbacks are copied first: the owner may detach the endpoint while its handler runs.
void TCustomWinSocket::Event(TSocketEvent SocketEvent)
{
    const TSocketEventCallback callback = OnSocketEvent;
    if (!callback)
        return;
    const DispatchScope scope(*this);
    callback(this, SocketEvent);
}

void TCustomWinSocket::Error(TErrorEvent ErrorEvent, int &ErrorCode)
{
    const TSocketErrorCallback callback = OnErrorEvent;
    if (!callback)
        return;
    const DispatchScope scope(*this);
    callback(this, ErrorEvent, ErrorCode);
}

// A nested loop may deliver the posted release at any time, so it is posted only when the
// last event of the endpoint has ended; nothing of the endpoint is on the stack then.
void TCustomWinSocket::ReleaseWhenIdle()
{
    if (std::exchange(releaseWanted_, true))
        return;
    if (dispatchDepth_ == 0)
        deleteLater();
}

void TCustomWinSocket::EndDispatch()
{
    if (--dispatchDepth_ == 0 && releaseWanted_)
        deleteLater();
}

void TCustomWinSocket::AdoptHandle(int Handle) { handle_ = Handle; }

void TCustomWinSocket::MarkConnected()
{
    switch (state_) {
    case State::Bound:
        return Become(State::Listening);
    case State::ClosingUnconnected:
        return Become(State::Closing);
    default:
        if (!Connected())
            Become(State::Connected);
    }
}

void TCustomWinSocket::SetPeer(quint32 Address) { peer_ = PosixSocket::DottedAddress(Address); }

QString TCustomWinSocket::PeerAddress() const { return Connected() ? peer_ : QString(); }

quint16 TCustomWinSocket::LocalPort() const
{
    return handle_ == PosixSocket::InvalidHandle ? 0 : PosixSocket::LocalPort(handle_);
}

void TCustomWinSocket::Touch() { lastActivity_ = NextActivityStamp(); }

void TCustomWinSocket::Become(State Next)
{
    Q_ASSERT_X(Allowed(state_, Next), "TCustomWinSocket::Become", "move not in the lifecycle table");
    state_ = Next;
}

bool TCustomWinSocket::Allowed(State From, State To)
{
    if (To == From || To == State::Idle)
        return true;
    switch (From) {
    case State::Idle:
        return To == State::Connecting || To == State::Bound || To == State::Connected ||
               To == State::ClosingUnconnected;
    case State::Connecting:
    case State::Bound:
        return To == State::ClosingUnconnected || (From == State::Bound && To == State::Listening);
    case State::Listening:
        return To == State::ClosingListener;
    case State::Connected:
        return To == State::ClosingAfterSend || To == State::PeerFinished ||
               To == State::PeerFinishedClosingAfterSend || To == State::Closing;
    case State::ClosingAfterSend:
        return To == State::Connected || To == State::PeerFinishedClosingAfterSend || To == State::Closing;
    case State::PeerFinished:
        return To == State::PeerFinishedClosingAfterSend || To == State::ClosingPeerFinished;
    case State::PeerFinishedClosingAfterSend:
        return To == State::PeerFinished || To == State::ClosingPeerFinished;
    case State::ClosingUnconnected:
        return To == State::Closing;
    case State::Closing:
        return To == State::ClosingPeerFinished;
    case State::ClosingListener:
    case State::ClosingPeerFinished:
        return false;
    }
    return false;
}

// A listener counts as connected once it listens; a connection stays connected through its
// disconnect event, so that the handler can still read, write and see the peer.
bool TCustomWinSocket::Connected() const
{
    switch (state_) {
    case State::Idle:
    case State::Connecting:
    case State::Bound:
    case State::ClosingUnconnected:
        return false;
    default:
        return true;
    }
}

bool TCustomWinSocket::Closing() const
{
    return state_ == State::ClosingUnconnected || state_ == State::ClosingListener || state_ == State::Closing ||
           state_ == State::ClosingPeerFinished;
}

// An unconnected close with reading on is a listener's, whose Accept then takes nothing;
// a connect attempt never reads before it is up.
bool TCustomWinSocket::AcceptsConnections() const
{
    return state_ == State::Bound || state_ == State::Listening || state_ == State::ClosingUnconnected ||
           state_ == State::ClosingListener;
}

bool TCustomWinSocket::AwaitsConnect() const
{
    return state_ == State::Connecting || state_ == State::ClosingUnconnected;
}

bool TCustomWinSocket::StillReading() const
{
    return state_ == State::Connected || state_ == State::ClosingAfterSend || state_ == State::Closing;
}

bool TCustomWinSocket::ClosesAfterSend() const
{
    return state_ == State::ClosingAfterSend || state_ == State::PeerFinishedClosingAfterSend;
}
