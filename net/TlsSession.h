#pragma once

#include <QByteArray>

#include <memory>

class TlsContext;
using ssl_st = struct ssl_st;

// The server side of one TLS connection, kept entirely in memory: what arrives from the
// peer goes in, the plain text comes out; plain text to send goes in, the records to put
// on the wire come out. It never touches the socket, so nothing in it can wait.
class TlsSession {
public:
    explicit TlsSession(std::shared_ptr<TlsContext> context);
    ~TlsSession();
    TlsSession(const TlsSession &) = delete;
    TlsSession &operator=(const TlsSession &) = delete;

    // Bytes from the wire; the handshake goes on and decrypted text is kept for TakePlain.
    // False once the connection cannot go on (not TLS, a version or cipher refused, a
    // forged record): only the alert waiting in Outgoing is still to be sent.
    bool Received(const char *data, qint64 length);
    QByteArray TakePlain();
    bool HasPlain() const { return !plain_.isEmpty(); }
    // The peer ended the TLS session in order (close_notify).
    bool PeerClosed() const { return peerClosed_; }
    bool Established() const;

    // Encrypts the whole text into Outgoing; false when the session has failed.
    bool Encrypt(const char *data, qint64 length);
    // A close_notify after what is waiting.
    void EndSession();

    // Records waiting for the wire, and how many of them the socket took. They stay where
    // OpenSSL wrote them until the socket leaves some behind, so that the usual whole send
    // copies nothing.
    const char *Outgoing() const;
    qint64 OutgoingSize() const;
    void Sent(qint64 length);

private:
    void Drain();
    // What OpenSSL has written and nobody has sent yet.
    qint64 written(const char **data) const;

    std::shared_ptr<TlsContext> context_;
    ssl_st *ssl_ = nullptr;
    QByteArray plain_;
    QByteArray outgoing_;
    qint64 sentOffset_ = 0;
    bool failed_ = false;
    bool peerClosed_ = false;
};
