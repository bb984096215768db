#include "net/ftp/TPowersock.h"

#include "net/HostLookup.h"
#include "net/PosixSocket.h"
#include "net/SocketErrors.h"
#include "net/ftp/FtpExceptions.h"

#include <QHostAddress>
#include <QHostInfo>

#include <arpa/inet.h>

namespace {

quint32 FirstIpv4Address(const QHostInfo &info)
{
    if (info.error() != QHostInfo::NoError)
        return 0;
    const QList<QHostAddress> addresses = info.addresses();
    const auto ipv4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress &address) {
        return address.protocol() == QAbstractSocket::IPv4Protocol;
    });
    return ipv4 == addresses.end() ? 0 : htonl(ipv4->toIPv4Address());
}

bool IsDottedAddress(const QString &name)
{
    QHostAddress address;
    return name.count(QLatin1Char('.')) == 3 && address.setAddress(name) &&
           address.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

void TPowersock::Connect()
{
    cancelled_ = false;
    if (Connected())
        throw ESockError(QStringLiteral("Already connected"));
    remoteAddress_ = ResolveWithRetry();
    const int port = proxy_.isEmpty() ? port_ : proxyPort_;
    lookupDone_ = false;
    if (state_ == State::Failed)
        Become(State::Idle);
    EnsureSocket();
    StatusMessage(4, QStringLiteral("Connecting"));
    const int error = PosixSocket::Connect(handle_, remoteAddress_, static_cast<quint16>(port));
    if (error == 0)
        return MarkConnected();
    ErrorManager(error);
    AwaitConnect();
}

quint32 TPowersock::ResolveWithRetry()
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (const quint32 address = ResolveRemoteHost())
            return address;
        bool handled = false;
        if (attempt > 0 || !OnInvalidHost)
            break;
        OnInvalidHost(handled);
        if (!handled)
            break;
    }
    throw ESockError(QStringLiteral("Null Remote Address"));
}

// 0 when the name has no IPv4 address; a lookup that timed out or was cancelled raises.
quint32 TPowersock::ResolveRemoteHost()
{
    const QString name = proxy_.isEmpty() ? host_ : proxy_;
    if (IsDottedAddress(name))
        return PosixSocket::ParseDottedAddress(name);
    StatusMessage(4, QStringLiteral("Resolving ") + name);
    const quint32 address = LookUp(name);
    if (address != 0 && OnHostResolved)
        OnHostResolved(this);
    return address;
}

quint32 TPowersock::LookUp(const QString &name)
{
    lookupDone_ = false;
    lookedUpAddress_ = 0;
    const quint64 generation = ++lookupGeneration_;
    seams::LookupHost(name, this, [this, generation](const QHostInfo &info) {
        if (generation != lookupGeneration_)
            return;
        lookedUpAddress_ = FirstIpv4Address(info);
        lookupDone_ = true;
        Wake();
    });
    {
        const TimeLimit limit(*this);
        WaitFor([this] { return lookupDone_; });
    }
    if (!timedOut_ && !cancelled_)
        return lookedUpAddress_;
    ++lookupGeneration_; // the late answer is dropped
    throw ESockError(timedOut_ ? QStringLiteral("Host Lookup Timed Out") : QStringLiteral("Host Lookup Canceled"));
}

void TPowersock::AwaitConnect()
{
    Become(State::Connecting);
    writeReady_ = false;
    notifiers_.SetWritable(true);
    {
        const TimeLimit limit(*this);
        WaitFor([this] { return state_ == State::Connected || state_ == State::Failed; });
    }
    if (state_ == State::Connecting)
        Become(State::Idle);
    notifiers_.SetWritable(false);
    if (Connected())
        return;
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    // The attempt's socket is spent; the next connect starts on a fresh one.
    RequestCloseSocket();
    if (timedOut_)
        throw ESockError(QStringLiteral("Connection Timed out"));
    throw ESockError(cancelled_ ? QStringLiteral("Connection Canceled") : QStringLiteral("Connection Failed"));
}
