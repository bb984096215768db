#include "net/TClientWinSocket.h"

#include "net/ESocketError.h"
#include "net/HostLookup.h"
#include "net/SocketErrors.h"

#include <QHostInfo>
#include <QTimer>

#include <arpa/inet.h>

namespace {

// The table's number for a failed lookup, 0 when it found an IPv4 address.
int LookupError(const QHostInfo &info)
{
    switch (info.error()) {
    case QHostInfo::NoError:
        break;
    case QHostInfo::HostNotFound:
        return SocketErrors::HostNotFound;
    case QHostInfo::UnknownError:
        return SocketErrors::TryAgain;
    }
    for (const QHostAddress &address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return 0;
    }
    return SocketErrors::NoData;
}

quint32 FirstIpv4(const QHostInfo &info)
{
    for (const QHostAddress &address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return htonl(address.toIPv4Address());
    }
    return 0;
}

} // namespace

TClientWinSocket::TClientWinSocket(QObject *parent) : TCustomWinSocket(parent) {}

TClientWinSocket::~TClientWinSocket() { CancelLookup(); }

void TClientWinSocket::Open(const QString &Host, const QString &Address, const QString &Service, quint16 Port)
{
    if (Connected())
        throw ESocketError::AlreadyOpen();
    // An earlier attempt still looking up or connecting gives way to this one.
    ReleaseQuietly();
    int error = 0;
    const int handle = PosixSocket::CreateStream(error);
    if (handle == PosixSocket::InvalidHandle)
        throw ESocketError::CantCreateSocket();
    AdoptHandle(handle);
    Event(TSocketEvent::seLookup);
    pendingService_ = Service;
    pendingPort_ = Port;
    if (!Host.isEmpty())
        return LookUpHost(handle, Host);
    if (Address.isEmpty()) {
        ReleaseQuietly();
        throw ESocketError::NoAddress();
    }
    remoteAddress_ = PosixSocket::ParseDottedAddress(Address);
    ResolvePort(handle);
}

void TClientWinSocket::Abandon()
{
    if (!Connected())
        ReleaseQuietly();
}

void TClientWinSocket::LookUpHost(int Handle, const QString &Host)
{
    lookupState_ = LookupState::LookingUpAddress;
    const quint64 generation = ++lookupGeneration_;
    seams::LookupHost(Host, this, [this, Handle, generation](const QHostInfo &info) {
        if (generation == lookupGeneration_)
            Deliver([&] { HostFound(Handle, info); });
    });
}

void TClientWinSocket::HostFound(int Handle, const QHostInfo &Info)
{
    lookupState_ = LookupState::Idle;
    if (const int error = LookupError(Info))
        return LookupFailed(Handle, error);
    remoteAddress_ = FirstIpv4(Info);
    ResolvePort(Handle);
}

// A service name is looked up in the local services file, answered from the event loop
// like a host lookup.
void TClientWinSocket::ResolvePort(int Handle)
{
    if (pendingService_.isEmpty())
        return StartConnect(Handle, pendingPort_);
    lookupState_ = LookupState::LookingUpService;
    const quint64 generation = ++lookupGeneration_;
    QTimer::singleShot(0, this, [this, Handle, generation] {
        if (generation == lookupGeneration_)
            Deliver([&] { ServiceFound(Handle); });
    });
}

void TClientWinSocket::ServiceFound(int Handle)
{
    lookupState_ = LookupState::Idle;
    const quint16 port = PosixSocket::ServicePort(pendingService_);
    if (port == 0)
        return LookupFailed(Handle, SocketErrors::NoData);
    StartConnect(Handle, port);
}

// The close fires OnDisconnect; the error event is not called.
void TClientWinSocket::LookupFailed(int Handle, int ErrorCode)
{
    Close(Handle);
    throw ESocketError::Platform(ErrorCode, "ASync Lookup");
}

void TClientWinSocket::StartConnect(int Handle, quint16 Port)
{
    if (Handle != SocketHandle())
        return;
    WatchConnecting();
    Event(TSocketEvent::seConnecting);
    if (Handle != SocketHandle())
        return;
    const int error = PosixSocket::Connect(Handle, remoteAddress_, Port);
    if (error != 0 && error != SocketErrors::WouldBlock) {
        ReleaseQuietly();
        throw ESocketError::Platform(error, "connect");
    }
}

void TClientWinSocket::Connect(int)
{
    MarkConnected();
    SetPeer(remoteAddress_);
    WatchConnection(true);
    Event(TSocketEvent::seConnect);
}

// The answer of a lookup given up is ignored when it comes. Aborting the lookup instead
// would leave the library's copy of the callback behind, never freed.
void TClientWinSocket::CancelLookup()
{
    if (lookupState_ != LookupState::Idle)
        ++lookupGeneration_;
    lookupState_ = LookupState::Idle;
}
