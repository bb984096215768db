#pragma once

#include "net/TAbstractSocket.h"

#include <QString>

// The address properties and the client-style events. A property cannot change while
// the component is active; setting the value it already has does nothing.
class TCustomSocket : public TAbstractSocket {
    Q_OBJECT

public:
    explicit TCustomSocket(QObject *parent = nullptr);

    const QString &Host() const { return FHost; }
    void SetHost(const QString &Value);
    const QString &Address() const { return FAddress; }
    void SetAddress(const QString &Value);
    int Port() const { return FPort; }
    void SetPort(int Value);
    const QString &Service() const { return FService; }
    void SetService(const QString &Value);

    TSocketNotifyEvent OnLookup;
    TSocketNotifyEvent OnConnecting;
    TSocketNotifyEvent OnConnect;
    TSocketNotifyEvent OnDisconnect;
    TSocketNotifyEvent OnListen;
    TSocketNotifyEvent OnAccept;
    TSocketNotifyEvent OnRead;
    TSocketNotifyEvent OnWrite;
    TSocketErrorEvent OnError;

protected:
    void Event(TCustomWinSocket *Socket, TSocketEvent SocketEvent) override;
    void Error(TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode) override;
    // Raises "Can't change value while socket is active" when active.
    void CheckInactive() const;
    // Sets a text property; false when it already had the value (compared without case).
    bool ChangeText(QString &Property, const QString &Value);

private:
    QString FHost;
    QString FAddress;
    int FPort = 0;
    QString FService;
};
