#include "net/TCustomWinSocket.h"

#include "net/ESocketError.h"
#include "net/SocketErrors.h"
#include "net/TlsSession.h"

QByteArray TCustomWinSocket::ReadAvailableText()
{
    const int handle = handle_;
    if (!Connected() || handle == PosixSocket::InvalidHandle)
        return {};
    if (tls_) {
        readSinceNotification_ = true;
        ResumeReading();
        return tls_->TakePlain();
    }
    QByteArray text(PosixSocket::BytesWaiting(handle), Qt::Uninitialized);
    int error = 0;
    const qint64 received = text.isEmpty() ? 0 : PosixSocket::Receive(handle, text.data(), text.size(), error);
    readSinceNotification_ = true;
    ResumeReading();
    if (received >= 0) {
        text.truncate(received);
        return text;
    }
    if (error != SocketErrors::WouldBlock)
        FailTransfer(handle, TErrorEvent::eeReceive, error, "recv");
    return {};
}

int TCustomWinSocket::WriteText(const QByteArray &Text)
{
    const int handle = handle_;
    if (!Connected() || handle == PosixSocket::InvalidHandle)
        return 0;
    int error = 0;
    const qint64 sent = SendBytes(handle, Text.constData(), Text.size(), error);
    if (sent >= 0) {
        Touch();
        return static_cast<int>(sent);
    }
    if (error == SocketErrors::WouldBlock)
        notifiers_.SetWritable(true);
    else
        FailTransfer(handle, TErrorEvent::eeSend, error, "send");
    return -1;
}

// Error event, close, and the error raised unless the handler cleared it.
void TCustomWinSocket::FailTransfer(int Handle, TErrorEvent ErrorEvent, int ErrorCode, const char *Api)
{
    int code = ErrorCode;
    Error(ErrorEvent, code);
    Close(Handle);
    if (code != 0)
        throw ESocketError::Platform(code, Api);
}
