#pragma once

#include "net/SocketTypes.h"

#include <QObject>

// Base of the socket components: Active, and the endpoint's callbacks turned into the
// component's events.
class TAbstractSocket : public QObject {
    Q_OBJECT

public:
    explicit TAbstractSocket(QObject *parent = nullptr);

    bool Active() const { return FActive; }
    // Setting the value it already has does nothing. Raises ESocketError.
    virtual void SetActive(bool Value);

protected:
    virtual void DoActivate(bool Value) = 0;
    virtual void Event(TCustomWinSocket *Socket, TSocketEvent SocketEvent) = 0;
    virtual void Error(TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode) = 0;
    // Routes the endpoint's callbacks to Event and Error.
    void Attach(TCustomWinSocket *Socket);
    // Leaves the endpoint without callbacks, so that closing it fires nothing.
    static void Detach(TCustomWinSocket *Socket);

    bool FActive = false;
};
