// TLS under a connection: the first byte decides (a handshake record begins with 0x16),
// and from then on everything read and sent passes through the connection's TLS session,
// while the events, states and error table stay as they are for a plain one.
#include "net/TCustomWinSocket.h"

#include "net/SocketErrors.h"
#include "net/TlsSession.h"

#include <QTimer>

#include <array>

namespace {

constexpr int HandshakeRecord = 0x16;
// Read at most this much in one readiness, so that one fast peer cannot hold the others up.
constexpr qint64 ReadPerReadiness = 256 * 1024;
constexpr int ConnectionReset = 10054;

} // namespace

void TCustomWinSocket::OfferTls(std::shared_ptr<TlsContext> Context, int HandshakeLimitMs)
{
    tlsOffer_ = std::move(Context);
    handshakeLimitMs_ = HandshakeLimitMs;
}

void TCustomWinSocket::StartTlsIfAsked(int Handle)
{
    if (!tlsOffer_)
        return;
    const int first = PosixSocket::FirstByte(Handle);
    if (first < 0)
        return; // nothing yet, or the peer went: decided with the first byte
    std::shared_ptr<TlsContext> context = std::exchange(tlsOffer_, nullptr);
    if (first != HandshakeRecord)
        return;
    tls_ = std::make_unique<TlsSession>(std::move(context));
    QTimer::singleShot(handshakeLimitMs_, this, [this, Handle] {
        Deliver([this, Handle] {
            if (Handle == handle_ && tls_ && !tls_->Established())
                Close(Handle);
        });
    });
}

void TCustomWinSocket::TlsReadable(int Handle)
{
    std::array<char, 16384> raw; // only what arrived is read back
    // How the peer ended, once it has: 0 in order, else the error; -1 while it has not.
    int ending = -1;
    bool healthy = true;
    for (qint64 taken = 0; taken < ReadPerReadiness && healthy;) {
        int error = 0;
        const qint64 received = PosixSocket::Receive(Handle, raw.data(), qint64(raw.size()), error);
        if (received == 0)
            ending = 0;
        else if (received < 0 && error != SocketErrors::WouldBlock)
            ending = error;
        if (received <= 0)
            break;
        taken += received;
        healthy = tls_->Received(raw.data(), received);
    }
    int flushError = 0;
    FlushTls(Handle, flushError);
    if (!healthy)
        return Close(Handle); // the alert has gone if it could; nothing more is read
    if (tls_->HasPlain()) {
        Touch();
        readSinceNotification_ = false;
        Notify(Handle, TNotification::Read, 0);
        if (Handle != handle_ || !tls_)
            return;
        if (!readSinceNotification_)
            notifiers_.SetReadable(false);
    }
    if (ending < 0 && tls_->PeerClosed())
        ending = 0;
    if (ending >= 0)
        PeerFinished(Handle, ending);
}

qint64 TCustomWinSocket::SendBytes(int Handle, const char *Bytes, qint64 Length, int &ErrorCode, bool MoreFollows)
{
    if (!tls_)
        return PosixSocket::Send(Handle, Bytes, Length, ErrorCode, MoreFollows);
    // What an earlier send left goes first; while some of it waits, nothing new is taken.
    if (!FlushTls(Handle, ErrorCode))
        return -1;
    if (!tls_->Encrypt(Bytes, Length)) {
        ErrorCode = ConnectionReset;
        return -1;
    }
    if (!FlushTls(Handle, ErrorCode) && ErrorCode != SocketErrors::WouldBlock)
        return -1;
    ErrorCode = 0;
    return Length;
}

bool TCustomWinSocket::FlushTls(int Handle, int &ErrorCode)
{
    while (tls_ && tls_->OutgoingSize() > 0) {
        const qint64 sent = PosixSocket::Send(Handle, tls_->Outgoing(), tls_->OutgoingSize(), ErrorCode);
        if (sent < 0) {
            if (ErrorCode == SocketErrors::WouldBlock)
                notifiers_.SetWritable(true);
            return false;
        }
        tls_->Sent(sent);
    }
    return true;
}

bool TCustomWinSocket::TlsStillSending() const { return tls_ && tls_->OutgoingSize() > 0; }

// The session's end: a close_notify after what is waiting, as much as the socket takes now.
void TCustomWinSocket::EndTls()
{
    tlsOffer_.reset();
    closeOnceSent_ = false;
    if (!tls_)
        return;
    if (handle_ != PosixSocket::InvalidHandle) {
        tls_->EndSession();
        int error = 0;
        FlushTls(handle_, error);
    }
    tls_.reset();
}
