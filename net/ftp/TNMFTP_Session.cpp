#include "net/ftp/TNMFTP.h"

#include "net/ftp/FtpExceptions.h"
#include "net/ftp/FtpReply.h"

void TNMFTP::Connect()
{
    if (Connected())
        return;
    ClearCancel();
    ClearInput();
    TPowersock::Connect();
    try {
        LogIn();
        if (OnConnect)
            OnConnect(this);
    } catch (...) {
        QuitAfterFailure();
        throw;
    }
}

void TNMFTP::LogIn()
{
    ReadGreeting();
    if (fwAuthenticate_)
        SendLogin(fwUserId_, fwPassword_);
    if ((userId_.isEmpty() || password_.isEmpty()) && OnAuthenticationNeeded) {
        bool handled = false;
        OnAuthenticationNeeded(handled);
    }
    SendLogin(userId_, password_);
}

void TNMFTP::ReadGreeting()
{
    const QByteArray greeting = ReadExtraLines(QByteArrayLiteral(" "));
    if (FtpReply::Code(greeting) <= 400)
        return;
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    throw FTPException(QString::fromLatin1(greeting));
}

void TNMFTP::SendLogin(const QString &userId, const QString &password)
{
    Transaction(QStringLiteral("USER ") + userId);
    CheckLoginReply();
    if (ReplyNumber() != 331)
        return;
    Transaction(QStringLiteral("PASS ") + password);
    CheckLoginReply();
}

void TNMFTP::CheckLoginReply()
{
    if (!FtpReply::Within(ReplyNumber(), 401, 599))
        return;
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    throw FTPException(QString::fromLatin1(LastReply()));
}

// Runs inside a catch block: the failure being raised is the one the caller hears about.
// A control connection that broke, or whose read or send was cancelled or timed out, is
// closed without QUIT, which would only fail (or wait) again.
void TNMFTP::QuitAfterFailure()
{
    try {
        if (Broken())
            TPowersock::Disconnect();
        else
            Disconnect();
    } catch (const std::exception &) {
        if (Connected())
            TPowersock::Disconnect();
    }
    StatusMessage(1, QStringLiteral("Disconnected"));
}

void TNMFTP::Disconnect()
{
    if (!Connected())
        return;
    ClearCancel();
    StatusMessage(1, QStringLiteral("QUIT"));
    vendor_ = DefaultVendor;
    try {
        DiscardWaitingInput();
        Transaction(QStringLiteral("QUIT"));
    } catch (...) {
        TPowersock::Disconnect();
        throw;
    }
    const int code = ReplyNumber();
    const QString reply = QString::fromLatin1(LastReply());
    TPowersock::Disconnect();
    if (FtpReply::Within(code, 301, 599))
        throw FTPException(reply);
}
