#pragma once

#include "net/TCustomWinSocket.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

#include <memory>

class QIODevice;

// Where an answer goes, and whether it carries an HTTP head; the one place answers are
// written. The connection may be gone by the time the answer is ready (a nested loop, a
// WebRTC answer made on GStreamer's threads): then nothing is written.
struct Reply {
    Reply(TCustomWinSocket *to, bool httpHead, QByteArray head = {})
        : socket(to), withHttpHead(httpHead), moreHead(std::move(head))
    {
    }

    QPointer<TCustomWinSocket> socket;
    bool withHttpHead = false;
    // Header lines that go into the head SendBody writes (each ending in CRLF).
    QByteArray moreHead;

    enum class Connection { Close, KeepOpen };

    // The body, after a minimal head when the request named an HTTP version; the connection
    // closes once it is written unless kept open. False when it could not be written; true
    // when nobody is left to answer.
    bool SendBody(std::unique_ptr<QIODevice> body, const QByteArray &contentType, Connection connection) const;
    // A whole response (head and body, as made by the caller), then the connection closes.
    void SendWhole(const QByteArray &response) const;
    // The same, read from a device as the connection takes it; false when it could not be sent.
    bool SendWhole(std::unique_ptr<QIODevice> response) const;
    // The peer's address; empty once it has gone.
    QString Peer() const;

    static std::unique_ptr<QIODevice> BufferOf(const QByteArray &bytes);
};
