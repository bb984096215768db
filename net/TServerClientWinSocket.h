#pragma once

#include "net/TCustomWinSocket.h"

class TServerWinSocket;

// One accepted connection. Its events go to its listening endpoint; it removes itself
// from the listener's connection list when freed.
class TServerClientWinSocket : public TCustomWinSocket {
    Q_OBJECT

public:
    TServerClientWinSocket(int Handle, quint32 PeerAddress, TServerWinSocket *ServerWinSocket);
    ~TServerClientWinSocket() override;

    TServerWinSocket *ServerWinSocket() const { return server_; }

    // Starts hearing the socket and fires the connect event (OnClientConnect).
    void Start();
    // Leaves the listener: no more events, the connection closed without one.
    void Detach();
    // Frees the connection once the event loop is back, so that it stays valid for the
    // rest of the event in which it was closed.
    void ScheduleRelease();

private:
    TServerWinSocket *server_;
};
