#include "net/ftp/TNMFTP.h"

#include "net/SocketErrors.h"
#include "net/ftp/FtpExceptions.h"
#include "net/ftp/FtpReply.h"

#include <QScopedValueRollback>

#include <cerrno>

void TNMFTP::Connect()
{
    if (Connected() && Broken() && !inSession_)
        TPowersock::Disconnect();
    if (Connected())
        return;
    if (inSession_)
        RefuseBusySession();
    const QScopedValueRollback<bool> session(inSession_, true);
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
    // A handler that caught a failure itself may leave a connection nobody can talk on.
    if (Connected() && Broken())
        TPowersock::Disconnect();
}

// A Connect from a handler that runs while this session still looks up its server or
// connects would take the socket (and the lookup's answer and time limit) from under it.
void TNMFTP::RefuseBusySession()
{
    const int error = SocketErrors::FromErrno(EALREADY);
    const QString text = SocketErrorStr(error);
    if (OnError)
        OnError(this, error, text);
    throw ESockError(text);
}

void TNMFTP::LogIn()
{
    try {
        ReadGreeting();
        if (fwAuthenticate_)
            SendLogin(fwUserId_, fwPassword_);
        if ((userId_.isEmpty() || password_.isEmpty()) && OnAuthenticationNeeded) {
            bool handled = false;
            OnAuthenticationNeeded(handled);
        }
        SendLogin(userId_, password_);
    } catch (const EAbortError &) {
        // A server that stops answering, or never ends its reply, fails the login as surely
        // as one that refuses it; a cancel is nobody's failure.
        if ((TimedOut() || !Cancelled()) && OnConnectionFailed)
            OnConnectionFailed(this);
        throw;
    }
}

void TNMFTP::ReadGreeting()
{
    const QByteArray greeting = ReadExtraLines(QByteArrayLiteral(" "));
    if (!greeting.isEmpty() && FtpReply::Code(greeting) <= 400)
        return;
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    if (greeting.isEmpty())
        throw ESockError(NoReplyText());
    throw FTPException(QString::fromLatin1(greeting));
}

void TNMFTP::SendLogin(const QString &userId, const QString &password)
{
    Exchange(QStringLiteral("USER ") + userId);
    CheckLoginReply();
    if (ReplyNumber() != 331)
        return;
    Exchange(QStringLiteral("PASS ") + password);
    CheckLoginReply();
}

// A refusal, or a connection that ends where the reply was due, fails the login.
void TNMFTP::CheckLoginReply()
{
    const bool closed = LastReply().isEmpty();
    if (!closed && !FtpReply::Within(ReplyNumber(), 401, 599))
        return;
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    if (closed)
        throw ESockError(NoReplyText());
    throw FTPException(QString::fromLatin1(LastReply()));
}

// Runs inside a catch block: the failure being raised is the one the caller hears about.
void TNMFTP::QuitAfterFailure()
{
    try {
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
    // A control connection that broke, or whose read or send was cancelled or timed out,
    // gets no QUIT: the send would only fail (and report the error again) or wait again.
    if (Broken())
        return TPowersock::Disconnect();
    ClearCancel();
    StatusMessage(1, QStringLiteral("QUIT"));
    vendor_ = DefaultVendor;
    try {
        DiscardWaitingInput();
        // A server may well answer QUIT by closing.
        Exchange(QStringLiteral("QUIT"));
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
