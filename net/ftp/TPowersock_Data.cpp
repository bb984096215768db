#include "net/ftp/TPowersock.h"

#include "net/PosixSocket.h"
#include "net/SocketErrors.h"
#include "net/ftp/FtpExceptions.h"
#include "net/ftp/FtpSocketCalls.h"

#include <QFile>

void TPowersock::Listen()
{
    EnsureSocket();
    ErrorManager(PosixSocket::BindAny(handle_, 0));
    ErrorManager(PosixSocket::Listen(handle_, 1));
    Become(State::Listening);
    StatusMessage(4, QStringLiteral("Listening on port ") + QString::number(PosixSocket::LocalPort(handle_)));
}

void TPowersock::Accept(quint32 allowedPeer)
{
    const TimeLimit limit(*this);
    for (;;) {
        const PosixSocket::Accepted accepted = PosixSocket::Accept(handle_);
        if (accepted.handle != PosixSocket::InvalidHandle && allowedPeer != 0 && accepted.peerAddress != allowedPeer) {
            // Someone else raced the server to the data port: the file is not for them.
            PosixSocket::Close(accepted.handle);
            continue;
        }
        if (accepted.handle != PosixSocket::InvalidHandle) {
            notifiers_.Detach();
            PosixSocket::Close(handle_);
            AdoptHandle(accepted.handle);
            Become(State::Connected);
            return;
        }
        if (accepted.error != SocketErrors::WouldBlock) {
            lastError_ = accepted.error;
            throw ESockError(QStringLiteral("Error creating Data Connection"));
        }
        readReady_ = false;
        notifiers_.SetReadable(true);
        if (!WaitFor([this] { return readReady_; })) {
            if (timedOut_)
                throw ESockError(QStringLiteral("Accepting Canceled: the server did not connect within %1 s")
                                     .arg(timeOutMs_ / 1000.0));
            throw ESockError(QStringLiteral("Accepting Canceled"));
        }
    }
}

void TPowersock::SendFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    for (;;) {
        if (cancelled_)
            throw EAbortError(QStringLiteral("Socket send aborted"));
        const qint64 length = file.read(ioBuffer_.data(), BlockBytes);
        if (length < 0)
            throw Exception(QStringLiteral("Read error on \"%1\". %2").arg(path, file.errorString()));
        if (length == 0)
            return;
        SendBuffer(ioBuffer_.constData(), length);
        if (OnPacketSent)
            OnPacketSent(this);
        // A socket that never fills (loopback) would otherwise hold the GUI for the whole file.
        Breathe();
    }
}

void TPowersock::CloseGracefully()
{
    if (handle_ >= 0)
        FtpSocketCalls::SetLingerOff(handle_);
    RequestCloseSocket();
}

void TPowersock::CloseAbortively()
{
    if (handle_ >= 0)
        FtpSocketCalls::SetResetOnClose(handle_);
    RequestCloseSocket();
}

QString TPowersock::GetPortString() const
{
    const quint16 port = PosixSocket::LocalPort(handle_);
    return QStringLiteral("%1,%2").arg(port >> 8).arg(port & 0xff);
}

QString TPowersock::GetLocalAddress() const
{
    return PosixSocket::DottedAddress(FtpSocketCalls::LocalAddress(handle_));
}
