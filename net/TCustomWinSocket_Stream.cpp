#include "net/TCustomWinSocket.h"

#include "net/SocketErrors.h"
#include "net/TlsSession.h"

#include <QBuffer>

#include <utility>

bool TCustomWinSocket::WriteStream(std::unique_ptr<QIODevice> &Stream)
{
    // A closed connection could never send or free it, so the caller keeps it.
    if (PendingStream || !Stream || !Connected())
        return false;
    if (!Stream->isOpen())
        Stream->open(QIODevice::ReadOnly);
    PendingStream = std::make_unique_for_overwrite<OutgoingStream>();
    PendingStream->device = std::move(Stream);
    return SendPendingStream();
}

bool TCustomWinSocket::WriteStream(std::unique_ptr<QIODevice> &&Stream) { return WriteStream(Stream); }

// Refused before anything is set, so a stream already pending keeps its own close.
bool TCustomWinSocket::WriteStreamThenClose(std::unique_ptr<QIODevice> &Stream)
{
    if (PendingStream || !Stream || !Connected())
        return false;
    const State before = state_;
    if (before == State::Connected)
        Become(State::ClosingAfterSend);
    else if (before == State::PeerFinished)
        Become(State::PeerFinishedClosingAfterSend);
    if (WriteStream(Stream))
        return true;
    Become(before);
    return false;
}

bool TCustomWinSocket::WriteStreamThenClose(std::unique_ptr<QIODevice> &&Stream)
{
    return WriteStreamThenClose(Stream);
}

// Sends pieces until the stream ends or the socket is full; a full socket turns the
// write notifier on, and its notification runs this again.
bool TCustomWinSocket::SendPendingStream()
{
    const int handle = handle_;
    if (!PendingStream || handle == PosixSocket::InvalidHandle || !Connected())
        return false;
    for (;;) {
        OutgoingStream &stream = *PendingStream;
        if (stream.offset == stream.length && !LoadPiece(stream)) {
            FinishStream();
            return true;
        }
        int error = 0;
        const qint64 sent = SendBytes(handle, stream.bytes + stream.offset, stream.length - stream.offset, error,
                                      !stream.device->atEnd());
        if (sent < 0 && error == SocketErrors::WouldBlock) {
            notifiers_.SetWritable(true);
            return true;
        }
        if (sent < 0) {
            FailStream(handle, error);
            return true;
        }
        Touch();
        stream.offset += sent;
        if (stream.offset == stream.length && stream.device->atEnd()) {
            FinishStream();
            return true;
        }
    }
}

bool TCustomWinSocket::LoadPiece(OutgoingStream &stream)
{
    constexpr qint64 Room = qint64{PieceSize} * PiecesPerSend;
    stream.offset = 0;
    stream.length = 0;
    // Bytes already in memory go to the socket from where they are, without a copy.
    if (auto *buffer = qobject_cast<QBuffer *>(stream.device.get())) {
        const QByteArray &bytes = buffer->data();
        stream.bytes = bytes.constData() + buffer->pos();
        stream.length = bytes.size() - buffer->pos();
        buffer->seek(bytes.size());
        return stream.length > 0;
    }
    if (!stream.piece)
        stream.piece = std::make_unique_for_overwrite<char[]>(Room);
    stream.bytes = stream.piece.get();
    while (stream.length + PieceSize <= Room) {
        const qint64 read = stream.device->read(stream.piece.get() + stream.length, PieceSize);
        if (read <= 0)
            break;
        stream.length += read;
        if (read < PieceSize)
            break;
    }
    return stream.length > 0;
}

// The caller of WriteStream goes on as if the stream had been taken; the connection is
// closed, so whatever it does next on it does nothing.
void TCustomWinSocket::FailStream(int Handle, int ErrorCode)
{
    int code = ErrorCode;
    Error(TErrorEvent::eeSend, code);
    Close(Handle);
    FinishStream();
}

void TCustomWinSocket::FinishStream()
{
    const std::unique_ptr<OutgoingStream> finished = std::move(PendingStream);
    if (!ClosesAfterSend())
        return;
    // Over TLS the last records may still wait for room: the close follows them.
    if (TlsStillSending()) {
        closeOnceSent_ = true;
        return;
    }
    Close(handle_);
}
