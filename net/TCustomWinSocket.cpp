#include "net/TCustomWinSocket.h"

#include "net/ESocketError.h"

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
    if (Handle == PosixSocket::InvalidHandle || Handle != handle_ || closing_)
        return;
    closing_ = true;
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
    notifiers_.Detach();
    const int error = PosixSocket::Close(Handle);
    handle_ = PosixSocket::InvalidHandle;
    connected_ = listening_ = connecting_ = closing_ = peerFinished_ = closeWhenStreamDone_ = false;
    peer_.clear();
    PendingStream.reset();
    CloseAfterSend = false;
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

void TCustomWinSocket::SetConnected(bool Connected) { connected_ = Connected; }

void TCustomWinSocket::SetPeer(quint32 Address) { peer_ = PosixSocket::DottedAddress(Address); }

QString TCustomWinSocket::PeerAddress() const { return connected_ ? peer_ : QString(); }

quint16 TCustomWinSocket::LocalPort() const
{
    return handle_ == PosixSocket::InvalidHandle ? 0 : PosixSocket::LocalPort(handle_);
}

void TCustomWinSocket::Touch() { lastActivity_ = NextActivityStamp(); }
