#include "net/ftp/TNMFTP.h"

#include "net/ftp/FtpExceptions.h"
#include "net/ftp/FtpReply.h"

#include <QFile>
#include <QFileInfo>

namespace {

qint64 ReadableFileSize(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    return file.size();
}

} // namespace

// Any failure reaches OnFailure here; a refused PORT or STOR whose first failure event
// was not handled arrives a second time, as the program's handlers expect.
void TNMFTP::Upload(const QString &localFile, const QString &remoteName)
{
    ClearCancel();
    try {
        CertifyConnect();
        DiscardWaitingInput();
        if (TransferFile(localFile, remoteName) && OnSuccess)
            OnSuccess(cmdUpload);
    } catch (...) {
        bool handled = false;
        if (OnFailure)
            OnFailure(handled, cmdUpload);
        if (!handled)
            throw;
    }
}

// True once the file is sent and confirmed; false for a refusal a failure handler took.
// The data connection lives only for this call, and the mode is the one it started in,
// whatever a handler running inside its waits sets.
bool TNMFTP::TransferFile(const QString &localFile, const QString &remoteName)
{
    const bool passive = passive_;
    TPowersock data;
    data.SetTimeOut(TimeOut());
    data.OnPacketSent = OnPacketSent;
    data.OnError = OnError;
    bytesTotal_ = ReadableFileSize(localFile);
    if (!OpenDataConnection(data, passive))
        return false;
    if (!Store(localFile, remoteName))
        return false;
    try {
        SendData(data, localFile, passive);
    } catch (...) {
        AbortTransfer(data);
        throw;
    }
    data.CloseGracefully();
    return ReadCompletion();
}

void TNMFTP::SendData(TPowersock &data, const QString &localFile, bool passive)
{
    if (!passive)
        data.Accept(Proxy().isEmpty() ? RemoteAddress() : 0);
    if (OnTransactionStart)
        OnTransactionStart(this);
    data.SendFile(localFile);
    if (OnTransactionStop)
        OnTransactionStop(this);
}

// A transfer that stopped half-way must not pass for a whole file: ABOR asks the server to
// drop it, and the data connection is reset, not ended in order. After a time-out the abort
// gets no time of its own (the wait and the session's end share one deadline): the session
// is then closed without waiting for the server again.
void TNMFTP::AbortTransfer(TPowersock &data)
{
    try {
        if (Connected() && !Broken()) {
            Writeln(QStringLiteral("ABOR"));
            if (data.TimedOut())
                MarkBroken();
            else if (FtpReply::Within(FtpReply::Code(ReadReply()), 400, 499))
                ReadReply(); // "426 aborted" for the transfer, then the answer to ABOR
        }
    } catch (const std::exception &) {
        // The transfer's own failure is the one to report.
    }
    data.CloseAbortively();
}

QByteArray TNMFTP::ReadReply()
{
    const TimeLimit limit(*this);
    const QByteArray reply = ReadLn();
    if (reply.isEmpty())
        return {};
    StatusMessage(1, QString::fromLatin1(reply).trimmed());
    return ReadExtraLines(reply).isEmpty() ? QByteArray() : reply;
}

bool TNMFTP::OpenDataConnection(TPowersock &data, bool passive)
{
    return passive ? OpenPassive(data) : OpenActive(data);
}

bool TNMFTP::OpenActive(TPowersock &data)
{
    data.Listen();
    QString address = GetLocalAddress();
    address.replace(QLatin1Char('.'), QLatin1Char(','));
    Transaction(QStringLiteral("PORT ") + address + QLatin1Char(',') + data.GetPortString());
    if (!FtpReply::Within(ReplyNumber(), 301, 599))
        return true;
    Refuse(cmdUpload, LastReply());
    return false;
}

bool TNMFTP::Store(const QString &localFile, const QString &remoteName)
{
    const QString command =
        QStringLiteral("STOR ") + (remoteName.isEmpty() ? QFileInfo(localFile).fileName() : remoteName);
    StatusMessage(1, command);
    Transaction(command);
    if (!FtpReply::Within(ReplyNumber(), 301, 599))
        return true;
    if (FtpReply::Within(ReplyNumber(), 500, 502) && OnUnSupportedFunction)
        OnUnSupportedFunction(cmdUpload);
    Refuse(cmdUpload, LastReply());
    return false;
}

// The server's word on the stored file. A 4xx or 5xx completion (disk full, transfer
// aborted) means the file is not there, so it is a refusal, not a success; a control
// connection that ends without a reply confirms nothing either.
bool TNMFTP::ReadCompletion()
{
    const QByteArray reply = ReadReply();
    if (reply.isEmpty())
        throw ESockError(QStringLiteral("Connection closed before the transfer was confirmed"));
    if (!FtpReply::Within(FtpReply::Code(reply), 400, 599))
        return true;
    Refuse(cmdUpload, reply);
    return false;
}
