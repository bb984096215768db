// Turns level-triggered readiness into the one-shot notifications the endpoints are built
// around: unread data is reported once, the write notification is on only while something
// waits for room, and the peer's end is reported once.
#include "net/TCustomWinSocket.h"

#include "net/SocketErrors.h"
#include "net/TlsSession.h"

void TCustomWinSocket::WatchForAccept()
{
    Become(State::Bound);
    notifiers_.Attach(handle_);
    notifiers_.SetReadable(true);
}

// A connection hears of arrivals; it hears that it can be written to only after a send
// found it full, or (TellWritable) once at the start, as a new connection is told on
// the classic platform.
void TCustomWinSocket::WatchConnection(bool TellWritable)
{
    if (!notifiers_.Attached())
        notifiers_.Attach(handle_);
    notifiers_.SetReadable(true);
    if (TellWritable)
        notifiers_.SetWritable(true);
}

void TCustomWinSocket::WatchConnecting()
{
    Become(State::Connecting);
    notifiers_.Attach(handle_);
    notifiers_.SetWritable(true);
}

void TCustomWinSocket::Readable()
{
    const int handle = handle_;
    if (handle == PosixSocket::InvalidHandle)
        return;
    if (AcceptsConnections())
        return Notify(handle, TNotification::Accept, 0);
    StartTlsIfAsked(handle);
    if (tls_)
        return TlsReadable(handle);
    if (PosixSocket::BytesWaiting(handle) > 0) {
        Touch();
        readSinceNotification_ = false;
        Notify(handle, TNotification::Read, 0);
        // Data left unread is not reported again until it is read, as with an edge notification.
        if (handle == handle_ && !readSinceNotification_)
            notifiers_.SetReadable(false);
        return;
    }
    // Readable with nothing to read: the peer has finished, in order or with an error.
    const int state = PosixSocket::ClosedState(handle);
    if (state != SocketErrors::WouldBlock)
        PeerFinished(handle, state);
}

void TCustomWinSocket::PeerFinished(int Handle, int ErrorCode)
{
    notifiers_.SetReadable(false);
    // A peer that only shut down its sending side still gets the answer being sent.
    const bool sendFirst = ErrorCode == 0 && PendingStream;
    switch (state_) {
    case State::Connected:
    case State::PeerFinished:
        Become(sendFirst ? State::PeerFinishedClosingAfterSend : State::PeerFinished);
        break;
    case State::ClosingAfterSend:
        Become(State::PeerFinishedClosingAfterSend);
        break;
    case State::Closing:
        Become(State::ClosingPeerFinished);
        break;
    default:
        break;
    }
    if (sendFirst)
        return;
    Notify(Handle, TNotification::Close, ErrorCode);
}

void TCustomWinSocket::ResumeReading()
{
    if (handle_ != PosixSocket::InvalidHandle && StillReading())
        notifiers_.SetReadable(true);
}

void TCustomWinSocket::Writable()
{
    const int handle = handle_;
    if (handle == PosixSocket::InvalidHandle)
        return;
    notifiers_.SetWritable(false);
    if (AwaitsConnect())
        return ConnectOutcome(handle);
    if (tls_) {
        int error = 0;
        if (!FlushTls(handle, error)) {
            if (error != SocketErrors::WouldBlock)
                FailTransfer(handle, TErrorEvent::eeSend, error, "send");
            return;
        }
        if (closeOnceSent_)
            return Close(handle);
    }
    Notify(handle, TNotification::Write, 0);
}

void TCustomWinSocket::ConnectOutcome(int Handle)
{
    if (state_ == State::Connecting)
        Become(State::Idle);
    const int error = PosixSocket::PendingError(Handle);
    if (error == 0)
        return Notify(Handle, TNotification::Connect, 0);
    // A failed attempt keeps no socket: its notifiers would report the failure for ever.
    struct ReleaseAfter {
        TCustomWinSocket &socket;
        int handle;
        ~ReleaseAfter()
        {
            if (socket.handle_ == handle)
                socket.ReleaseQuietly();
        }
    } release{*this, Handle};
    Notify(Handle, TNotification::Connect, error);
}
