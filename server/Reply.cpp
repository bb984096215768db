#include "server/Reply.h"

#include "net/TCustomWinSocket.h"
#include "server/HttpFraming.h"

#include <QBuffer>

std::unique_ptr<QIODevice> Reply::BufferOf(const QByteArray &bytes)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

bool Reply::SendBody(std::unique_ptr<QIODevice> body, const QByteArray &contentType, Connection connection) const
{
    if (!socket)
        return true; // gone while the answer was being made: nobody left to answer
    if (withHttpHead) {
        const auto keep = connection == Connection::KeepOpen ? http::Connection::KeepAlive : http::Connection::Close;
        QByteArray head = http::ResponseHead(contentType, body->size(), keep);
        if (!moreHead.isEmpty())
            head.insert(head.size() - 2, moreHead);
        // Bytes in memory are shared, not read out: one copy, into the answer.
        const auto *buffer = qobject_cast<QBuffer *>(body.get());
        body = BufferOf(head + (buffer && buffer->pos() == 0 ? buffer->data() : body->readAll()));
    }
    return connection == Connection::KeepOpen ? socket->WriteStream(body) : socket->WriteStreamThenClose(body);
}

void Reply::SendWhole(const QByteArray &response) const
{
    if (socket && !socket->WriteStreamThenClose(BufferOf(response)))
        socket->CloseConnection();
}

bool Reply::SendWhole(std::unique_ptr<QIODevice> response) const
{
    if (!socket)
        return true;
    if (socket->WriteStreamThenClose(response))
        return true;
    socket->CloseConnection();
    return false;
}

QString Reply::Peer() const { return socket ? socket->PeerAddress() : QString(); }
