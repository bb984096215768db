#pragma once

#include "net/TCustomWinSocket.h"

class QHostInfo;

// The outgoing endpoint of a client component: looks its host (and service) up without
// waiting, then connects without waiting.
class TClientWinSocket : public TCustomWinSocket {
    Q_OBJECT

public:
    explicit TClientWinSocket(QObject *parent = nullptr);
    ~TClientWinSocket() override;

    // Starts opening: a host name is looked up first, else the dotted address is used.
    // Raises ESocketError when already connected or when neither is given.
    void Open(const QString &Host, const QString &Address, const QString &Service, quint16 Port);
    // Gives up an attempt still looking up or connecting, without any event; a connection
    // already made is left alone (Active false closes it).
    void Abandon();

    TClientType ClientType = TClientType::ctNonBlocking;

protected:
    void Connect(int Handle) override;
    void CancelLookup() override;

private:
    enum class LookupState { Idle, LookingUpAddress, LookingUpService };

    void LookUpHost(int Handle, const QString &Host);
    void HostFound(int Handle, const QHostInfo &Info);
    void ResolvePort(int Handle);
    void ServiceFound(int Handle);
    void LookupFailed(int Handle, int ErrorCode);
    void StartConnect(int Handle, quint16 Port);

    LookupState lookupState_ = LookupState::Idle;
    quint64 lookupGeneration_ = 0;
    QString pendingService_;
    quint16 pendingPort_ = 0;
    quint32 remoteAddress_ = 0;
};
