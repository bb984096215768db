#pragma once

#include "net/TClientWinSocket.h"
#include "net/TCustomSocket.h"

#include <memory>

// The connecting component. Set Host (a name, looked up without waiting) or Address
// (dotted quad), and Port or Service, then Active true; OnConnect follows once connected.
// Active false while connected closes: the component becomes inactive, then OnDisconnect.
class TClientSocket : public TCustomSocket {
    Q_OBJECT

public:
    explicit TClientSocket(QObject *parent = nullptr);
    // Ends the connection without any event.
    ~TClientSocket() override;

    TClientWinSocket *Socket() const { return FClientSocket.get(); }

    // Opening a connected client raises "Socket already open".
    void SetActive(bool Value) override;

    TClientType ClientType() const { return FClientSocket->ClientType; }
    void SetClientType(TClientType Value);

protected:
    void DoActivate(bool Value) override;

private:
    std::unique_ptr<TClientWinSocket> FClientSocket;
};
