#pragma once

#include "net/TCustomSocket.h"
#include "net/TServerWinSocket.h"

#include <memory>

// A listening component: owns one listening endpoint. Active true listens on every
// interface on Port, Active false stops and ends every connection without an event.
class TCustomServerSocket : public TCustomSocket {
    Q_OBJECT

public:
    explicit TCustomServerSocket(QObject *parent = nullptr);
    // Ends every connection and the listener without any event.
    ~TCustomServerSocket() override;

    TServerWinSocket *Socket() const { return FServerSocket.get(); }

protected:
    void DoActivate(bool Value) override;

    std::unique_ptr<TServerWinSocket> FServerSocket;
};
