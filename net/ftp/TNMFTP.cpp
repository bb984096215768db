#include "net/ftp/TNMFTP.h"

#include "net/ftp/FtpExceptions.h"
#include "net/ftp/FtpReply.h"

namespace {

TCmdType KindOf(const QString &command)
{
    const QString verb = command.section(QLatin1Char(' '), 0, 0).toUpper();
    if (verb == QLatin1String("CWD"))
        return cmdChangeDir;
    if (verb == QLatin1String("DELE"))
        return cmdDelete;
    if (verb == QLatin1String("MKD"))
        return cmdMakeDir;
    if (verb == QLatin1String("RMD"))
        return cmdRemoveDir;
    if (command == QLatin1String("PWD"))
        return cmdCurrentDir;
    return cmdDoCommand;
}

} // namespace

QString TNMFTP::NoReplyText() { return QStringLiteral("Connection closed before the server replied"); }

TNMFTP::TNMFTP(QObject *owner) : TPowersock(owner) { SetPort(21); }

void TNMFTP::Mode(int type)
{
    switch (type) {
    case 1:
        return DoCommand(QStringLiteral("TYPE A"));
    case 2:
        return DoCommand(QStringLiteral("TYPE I"));
    case 3:
        return DoCommand(QStringLiteral("TYPE L 8"));
    default:
        return;
    }
}

void TNMFTP::DoCommand(const QString &command)
{
    const TCmdType kind = KindOf(command);
    ClearCancel();
    CertifyConnect();
    StatusMessage(1, command);
    try {
        DiscardWaitingInput();
        Exchange(command);
    } catch (...) {
        // A reply that never came whole fails the command as a refusal does.
        bool handled = false;
        if (OnFailure)
            OnFailure(handled, kind);
        if (handled)
            return;
        throw;
    }
    if (!LastReply().isEmpty() && !FtpReply::Within(ReplyNumber(), 400, 599)) {
        if (OnSuccess)
            OnSuccess(kind);
        return;
    }
    if (FtpReply::Within(ReplyNumber(), 500, 502) && OnUnSupportedFunction)
        OnUnSupportedFunction(kind);
    Refuse(kind, LastReply());
}

void TNMFTP::Refuse(TCmdType kind, const QByteArray &reply)
{
    const QString text = QString::fromLatin1(reply);
    bool handled = false;
    if (OnFailure)
        OnFailure(handled, kind);
    if (handled)
        return;
    if (reply.isEmpty())
        throw ESockError(NoReplyText());
    throw FTPException(text);
}

void TNMFTP::CertifyConnect()
{
    if (Connected())
        return;
    bool handled = false;
    if (OnConnectionRequired)
        OnConnectionRequired(handled);
    if (!handled || !Connected())
        throw Exception(QStringLiteral("Not Connected"));
}

void TNMFTP::DiscardWaitingInput()
{
    if (DataAvailable())
        Read(0);
}

void TNMFTP::Transaction(const QString &command)
{
    Exchange(command);
    if (LastReply().isEmpty())
        throw ESockError(NoReplyText());
}

void TNMFTP::Exchange(const QString &command)
{
    const TimeLimit limit(*this);
    TPowersock::Transaction(command);
    // "230-" and then a close must not pass for a login: a reply cut off is no reply.
    if (!LastReply().isEmpty() && ReadExtraLines(LastReply()).isEmpty())
        ForgetReply();
}

QByteArray TNMFTP::ReadExtraLines(const QByteArray &reply)
{
    const TimeLimit limit(*this);
    QByteArray line = reply;
    qint64 bytes = line.size();
    for (int lines = 1; FtpReply::Continues(line); ++lines) {
        if (lines >= MaxReplyLines)
            AbandonReply(QStringLiteral("the server's reply ran past %1 lines").arg(MaxReplyLines));
        if (bytes > MaxReplyBytes)
            AbandonReply(QStringLiteral("the server's reply ran past %1 bytes").arg(MaxReplyBytes));
        Breathe();
        line = ReadLn();
        bytes += line.size();
        if (!line.isEmpty())
            StatusMessage(1, QString::fromLatin1(line).trimmed());
    }
    return line;
}
