#pragma once

#include "net/TCustomWinSocket.h"

#include <QList>

class TServerClientWinSocket;

// The listening endpoint. It owns the connections it accepts and hands their events to
// the OnClient... handlers, with itself as Sender.
class TServerWinSocket : public TCustomWinSocket {
    Q_OBJECT

public:
    // The backlog a listener asks for is capped at this. A queue of 5 drops the connections
    // of a hundred viewers arriving at once, who then wait a second or more for the retry of
    // their connect; 1024 takes them all, and costs nothing until it is used.
    static constexpr int MaxQueueSize = 1024;

    explicit TServerWinSocket(QObject *parent = nullptr);
    ~TServerWinSocket() override;

    // Listens on every interface. Raises ESocketError; on a failure after the socket was
    // made, the endpoint is closed first.
    void Listen(quint16 Port, int QueueSize);
    // Stops: frees every connection without events, then closes the listener.
    void Stop();

    int ActiveConnections() const { return static_cast<int>(connections_.size()); }
    TServerClientWinSocket *Connections(int Index) const { return connections_.at(Index); }

    TServerType ServerType = TServerType::stNonBlocking;
    // Kept for the thread-blocking mode, which this program never selects.
    int ThreadCacheSize = 10;
    // Open connections allowed at once; the longest-idle one gives way to a new one. Fewer
    // when the process may not open that many files: DescriptorReserve stay for everything else.
    int MaxConnections = 512;
    static constexpr int DescriptorReserve = 32;
    // How long accepting rests when the process has no file descriptor left.
    int AcceptPauseMs = 200;

    // Connections that open with a TLS handshake are served over TLS with this; null: none are.
    std::shared_ptr<TlsContext> Tls;
    int TlsHandshakeLimitMs = 10000;

    TSocketNotifyEvent OnClientConnect;
    TSocketNotifyEvent OnClientDisconnect;
    TSocketNotifyEvent OnClientRead;
    TSocketNotifyEvent OnClientWrite;
    TSocketErrorEvent OnClientError;

protected:
    void Accept(int Handle) override;
    void Close(int Handle) override;

private:
    friend class TServerClientWinSocket;

    bool Listening(int Handle) const;
    void AcceptOne(int Handle, const PosixSocket::Accepted &accepted);
    void MakeRoomForOneMore();
    int ConnectionCap() const;
    TServerClientWinSocket *Idlest(int &open) const;
    void PauseAccepting(int Handle);
    void FreeConnections();
    void AddClient(TServerClientWinSocket *Client);
    void RemoveClient(TServerClientWinSocket *Client);
    void ClientEvent(TCustomWinSocket *Socket, TSocketEvent SocketEvent);
    void ClientError(TCustomWinSocket *Socket, TErrorEvent ErrorEvent, int &ErrorCode);

    QList<TServerClientWinSocket *> connections_;
};
