#pragma once

#include "net/PosixSocket.h"
#include "net/SocketExceptionDisplay.h"
#include "net/SocketNotifiers.h"
#include "net/SocketTypes.h"

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>

#include <array>
#include <memory>

class TlsContext;
class TlsSession;

// One TCP endpoint: its socket handle and state, the readiness notifiers that drive it on
// the GUI thread, the stream being sent, and the callbacks to its owner. No call waits
// on the network.
class TCustomWinSocket : public QObject {
    Q_OBJECT

public:
    // Streams are read in pieces of this many bytes; up to PiecesPerSend of them go to the
    // socket in one call, which saves system calls on every picture.
    static constexpr int PieceSize = 4096;
    static constexpr int PiecesPerSend = 16;

    explicit TCustomWinSocket(QObject *parent = nullptr);
    ~TCustomWinSocket() override;

    // Dotted-quad text of the peer's address; empty when not connected.
    QString PeerAddress() const;
    // Every byte that has arrived and not been read yet, one byte per character.
    QByteArray ReadAvailableText();
    // One send of the whole text: the number of bytes taken (the rest is dropped), -1 when
    // the socket could take nothing now, 0 when not connected.
    int WriteText(const QByteArray &Text);
    // Hands the stream to the connection, to be sent from its current position in pieces as
    // the socket accepts them. False, with the stream left with the caller, while another
    // stream is pending or the connection is closed; otherwise the connection owns it.
    bool WriteStream(std::unique_ptr<QIODevice> &Stream);
    bool WriteStream(std::unique_ptr<QIODevice> &&Stream);
    // As WriteStream, and the connection is closed once the stream has been sent.
    bool WriteStreamThenClose(std::unique_ptr<QIODevice> &Stream);
    bool WriteStreamThenClose(std::unique_ptr<QIODevice> &&Stream);
    // Closes at once; the disconnect event fires during the call, the peer address still answering.
    void CloseConnection();

    int SocketHandle() const { return handle_; }
    bool Connected() const;
    bool HasPendingStream() const { return PendingStream != nullptr; }
    // The local port, for example of a listener bound to port 0; 0 when closed.
    quint16 LocalPort() const;
    // Increases with every accept, arrival and send; the smallest is the longest idle.
    quint64 LastActivity() const { return lastActivity_; }
    // True while one of this endpoint's events is being handled.
    bool Dispatching() const { return dispatchDepth_ > 0; }
    // True during the disconnect event, while the connection is on its way out.
    bool Closing() const;

    // A connection whose first byte opens a TLS handshake is served over TLS with this
    // context; any other stays as it is. Set before the first byte arrives.
    // A handshake not finished within the limit closes the connection.
    void OfferTls(std::shared_ptr<TlsContext> Context, int HandshakeLimitMs);
    bool Encrypted() const { return tls_ != nullptr; }

    void *Data = nullptr;

    TSocketEventCallback OnSocketEvent;
    TSocketErrorCallback OnErrorEvent;

protected:
    // The notification of one readiness, as the components were designed around: an error
    // code, or the work of the kind for the handle it was meant for.
    void Notify(int Handle, TNotification Notification, int ErrorCode);
    virtual void Accept(int Handle);
    virtual void Connect(int Handle);
    virtual void Close(int Handle);
    virtual void Read(int Handle);
    virtual void Write(int Handle);
    virtual void CancelLookup() {}

    void Event(TSocketEvent SocketEvent);
    void Error(TErrorEvent ErrorEvent, int &ErrorCode);

    void AdoptHandle(int Handle);
    // The connect succeeded, or the listener is listening.
    void MarkConnected();
    void SetPeer(quint32 Address);
    void WatchForAccept();
    void WatchConnection(bool TellWritable);
    void WatchConnecting();
    // A listener stops or resumes hearing of waiting connections.
    void SetAccepting(bool Accepting) { notifiers_.SetReadable(Accepting); }
    // Closes the handle without any event, for an attempt that never connected.
    void ReleaseQuietly();
    // Runs one piece of asynchronous work (a notification or a lookup answer).
    template <typename Work> void Deliver(Work &&work);
    void Touch();
    // Frees the endpoint once none of its events is being handled any more, whatever nested
    // event loops (message boxes) run in between.
    void ReleaseWhenIdle();

    // Marks the endpoint busy while its owner's code runs, so that nothing frees it under its feet.
    class DispatchScope {
    public:
        explicit DispatchScope(TCustomWinSocket &socket) : socket_(socket) { ++socket_.dispatchDepth_; }
        ~DispatchScope() { socket_.EndDispatch(); }
        DispatchScope(const DispatchScope &) = delete;
        DispatchScope &operator=(const DispatchScope &) = delete;

    private:
        TCustomWinSocket &socket_;
    };

private:
    // The connection's lifecycle. Bound: a listener in its listen event, before it listens.
    // PeerFinished: nothing more will arrive, sending still works. ...ClosingAfterSend: the
    // close follows the pending stream. The Closing states last through the disconnect event,
    // each keeping what the handler may still ask (connected? listening? reading?); a close
    // ends in Idle, as does a connect attempt once its outcome is known. Allowed moves:
    //   Idle                         -> Connecting, Bound, Connected, ClosingUnconnected
    //   Connecting                   -> ClosingUnconnected
    //   Bound                        -> Listening, ClosingUnconnected
    //   Listening                    -> ClosingListener
    //   Connected                    -> ClosingAfterSend, PeerFinished, PeerFinishedClosingAfterSend, Closing
    //   ClosingAfterSend             -> Connected (stream refused), PeerFinishedClosingAfterSend, Closing
    //   PeerFinished                 -> PeerFinishedClosingAfterSend, ClosingPeerFinished
    //   PeerFinishedClosingAfterSend -> PeerFinished (stream refused), ClosingPeerFinished
    //   ClosingUnconnected           -> Closing (the connect completed during the event)
    //   Closing                      -> ClosingPeerFinished
    //   any                          -> Idle
    enum class State {
        Idle,
        Connecting,
        Bound,
        Listening,
        Connected,
        ClosingAfterSend,
        PeerFinished,
        PeerFinishedClosingAfterSend,
        ClosingUnconnected,
        ClosingListener,
        Closing,
        ClosingPeerFinished,
    };

    struct OutgoingStream {
        std::unique_ptr<QIODevice> device;
        // Made by the first LoadPiece (bytes in memory are sent from where they are) and not
        // cleared: only what LoadPiece wrote is ever sent, and clearing 64 KiB for every answer
        // costs more than sending a small one.
        std::unique_ptr<char[]> piece;
        const char *bytes = nullptr; // the piece being sent: in `piece`, or where a buffer holds it
        qint64 offset = 0;
        qint64 length = 0;
    };

    void Become(State Next);
    static bool Allowed(State From, State To);
    bool AcceptsConnections() const;
    bool AwaitsConnect() const;
    bool StillReading() const;
    bool ClosesAfterSend() const;

    void EndDispatch();
    void Readable();
    void Writable();
    void PeerFinished(int Handle, int ErrorCode);
    void ConnectOutcome(int Handle);
    void ResumeReading();
    int Shutdown(int Handle);
    bool SendPendingStream();
    static bool LoadPiece(OutgoingStream &stream);
    void FailStream(int Handle, int ErrorCode);
    void FinishStream();
    void FailTransfer(int Handle, TErrorEvent ErrorEvent, int ErrorCode, const char *Api);

    // Bytes to the peer: straight to the socket, or through TLS (where what the socket could
    // not take yet waits in the session and counts as sent).
    qint64 SendBytes(int Handle, const char *Bytes, qint64 Length, int &ErrorCode, bool MoreFollows = false);
    void StartTlsIfAsked(int Handle);
    void TlsReadable(int Handle);
    // Sends what the TLS session holds: true once all of it has gone; false with the error
    // (WouldBlock: the rest goes on the next write readiness).
    bool FlushTls(int Handle, int &ErrorCode);
    bool TlsStillSending() const;
    void EndTls();

    int handle_ = PosixSocket::InvalidHandle;
    State state_ = State::Idle;
    std::unique_ptr<OutgoingStream> PendingStream;
    SocketNotifiers notifiers_;
    QString peer_;
    bool readSinceNotification_ = false;
    int dispatchDepth_ = 0;
    bool releaseWanted_ = false;
    quint64 lastActivity_ = 0;
    std::shared_ptr<TlsContext> tlsOffer_;
    int handshakeLimitMs_ = 0;
    std::unique_ptr<TlsSession> tls_;
    bool closeOnceSent_ = false;
};

template <typename Work> void TCustomWinSocket::Deliver(Work &&work)
{
    const DispatchScope scope(*this);
    DeliverNotification(work);
}
