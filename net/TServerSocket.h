#pragma once

#include "net/TCustomServerSocket.h"

// The listening component the program places on its main window. Handlers are plain
// function objects: ServerSocket->OnClientRead = [](QObject *Sender, TCustomWinSocket *Socket) {...};
// Sender of the OnClient... events is the listening endpoint, Socket the connection.
class TServerSocket : public TCustomServerSocket {
    Q_OBJECT

public:
    explicit TServerSocket(QObject *parent = nullptr);

    TServerType ServerType() const { return FServerSocket->ServerType; }
    void SetServerType(TServerType Value);
    // Kept for the thread-blocking mode; no effect on this one.
    int ThreadCacheSize() const { return FServerSocket->ThreadCacheSize; }
    void SetThreadCacheSize(int Value) { FServerSocket->ThreadCacheSize = Value; }
    // Open connections allowed at once; the longest-idle one gives way to a new one.
    int MaxConnections() const { return FServerSocket->MaxConnections; }
    void SetMaxConnections(int Value) { FServerSocket->MaxConnections = Value; }
    // TLS for the connections accepted from now on; null: plain only.
    void SetTls(std::shared_ptr<TlsContext> Context) { FServerSocket->Tls = std::move(Context); }
    void SetTlsHandshakeLimitMs(int Value) { FServerSocket->TlsHandshakeLimitMs = Value; }

    // The listening endpoint's handlers, assigned through the component.
    TSocketNotifyEvent &OnClientConnect;
    TSocketNotifyEvent &OnClientDisconnect;
    TSocketNotifyEvent &OnClientRead;
    TSocketNotifyEvent &OnClientWrite;
    TSocketErrorEvent &OnClientError;
};
