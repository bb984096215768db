#include "net/ftp/TPowersock.h"

#include "net/PosixSocket.h"
#include "net/SocketErrors.h"
#include "net/ftp/FtpExceptions.h"
#include "net/ftp/FtpReply.h"
#include "net/ftp/FtpSocketCalls.h"

#include <cstring>

bool TPowersock::DataAvailable()
{
    char byte = 0;
    int error = 0;
    return FtpSocketCalls::Peek(handle_, &byte, 1, error) == 1;
}

void TPowersock::ClearInput()
{
    int error = 0;
    PosixSocket::Receive(handle_, ioBuffer_.data(), BlockBytes, error);
}

QByteArray TPowersock::Read(qint64 count)
{
    const qint64 wanted = count > 0 ? count : PosixSocket::BytesWaiting(handle_);
    QByteArray data(wanted, '\0');
    int error = 0;
    const qint64 received = wanted > 0 ? PosixSocket::Receive(handle_, data.data(), wanted, error) : 0;
    data.truncate(std::max<qint64>(received, 0));
    if (Connected())
        notifiers_.SetReadable(true);
    ErrorManager(error);
    return data;
}

// Lines are taken by peeking, so exactly one line is consumed and later ones stay queued.
QByteArray TPowersock::ReadLn()
{
    const TimeLimit limit(*this);
    QByteArray line;
    qint64 taken = 0;
    for (;;) {
        if (cancelled_)
            Abandon(QStringLiteral("Socket readln aborted"), QStringLiteral("the server did not answer"));
        int error = 0;
        const qint64 peeked = FtpSocketCalls::Peek(handle_, ioBuffer_.data(), BlockBytes, error);
        if (peeked == 0) {
            // The peer closed before a line feed: no line.
            RequestCloseSocket();
            return {};
        }
        if (peeked < 0) {
            ErrorManager(error);
            WaitReadable();
            continue;
        }
        const auto *feed = static_cast<const char *>(std::memchr(ioBuffer_.constData(), '\n', peeked));
        const qint64 take = feed ? feed - ioBuffer_.constData() + 1 : peeked;
        PosixSocket::Receive(handle_, ioBuffer_.data(), take, error);
        AppendCapped(line, ioBuffer_.constData(), take);
        if (feed) {
            notifiers_.SetReadable(Connected());
            return line;
        }
        taken += take;
        if (taken > MaxReplyBytes)
            AbandonReply(QStringLiteral("the server's line ran past %1 bytes").arg(MaxReplyBytes));
        Breathe();
    }
}

void TPowersock::AbandonReply(const QString &why)
{
    broken_ = true;
    throw EAbortError(QStringLiteral("Socket readln aborted: ") + why);
}

// An over-long line keeps its first MaxLineBytes and still ends in CR LF.
void TPowersock::AppendCapped(QByteArray &line, const char *data, qint64 length) const
{
    const qint64 room = MaxLineBytes - line.size();
    if (room <= 0)
        return;
    line.append(data, std::min(room, length));
    if (line.size() == MaxLineBytes && !line.endsWith('\n'))
        line.replace(MaxLineBytes - 2, 2, "\r\n");
}

// A line half sent or a reply left unread puts the dialogue out of step for good. A wait
// that ran out of time says so: "Socket readln aborted: the server did not answer within 30 s".
void TPowersock::Abandon(const QString &message, const QString &whenTimedOut)
{
    broken_ = true;
    if (!timedOut_)
        throw EAbortError(message);
    throw EAbortError(QStringLiteral("%1: %2 within %3 s").arg(message, whenTimedOut).arg(timeOutMs_ / 1000.0));
}

void TPowersock::Write(const QByteArray &data) { SendBuffer(data.constData(), data.size()); }

void TPowersock::Writeln(const QString &text)
{
    // A name with a line break in it would smuggle in a command of its own.
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        throw ESockError(QStringLiteral("Line break inside a command"));
    Write(text.toUtf8() + "\r\n");
}

void TPowersock::SendBuffer(const char *data, qint64 length)
{
    qint64 offset = 0;
    while (offset < length) {
        if (cancelled_)
            Abandon(QStringLiteral("Socket send aborted"), QStringLiteral("the server took no data"));
        int error = 0;
        const qint64 sent = PosixSocket::Send(handle_, data + offset, length - offset, error);
        if (sent >= 0) {
            offset += sent;
            bytesSent_ += sent;
            continue;
        }
        ErrorManager(error);
        WaitWritable();
    }
}

void TPowersock::Transaction(const QString &command)
{
    replyNumber_ = 0;
    Writeln(command);
    lastReply_ = ReadLn();
    if (lastReply_.isEmpty())
        return;
    StatusMessage(1, QString::fromLatin1(lastReply_).trimmed());
    replyNumber_ = FtpReply::Code(lastReply_);
}
