#pragma once

#include "net/TServerClientWinSocket.h"
#include "net/TServerSocket.h"

#include <QBuffer>
#include <QStringList>

#include <memory>

// A listening component on an ephemeral port that writes every event it hears into a
// list, so tests can check which events came and in what order.
struct ServerFixture {
    ServerFixture()
    {
        server.OnListen = [this](QObject *, TCustomWinSocket *) { events << QStringLiteral("listen"); };
        server.OnAccept = [this](QObject *, TCustomWinSocket *) { events << QStringLiteral("accept"); };
        server.OnClientConnect = [this](QObject *sender, TCustomWinSocket *socket) {
            senderWasListener = sender == server.Socket();
            last = socket;
            events << QStringLiteral("connect");
        };
        server.OnClientRead = [this](QObject *, TCustomWinSocket *socket) {
            last = socket;
            const QByteArray text = socket->ReadAvailableText();
            received += text;
            events << QStringLiteral("read:") + QString::fromLatin1(text);
            if (onRead)
                onRead(socket, text);
        };
        server.OnClientDisconnect = [this](QObject *, TCustomWinSocket *socket) {
            events << QStringLiteral("disconnect");
            if (onDisconnect)
                onDisconnect(socket);
        };
        server.OnClientError = [this](QObject *, TCustomWinSocket *, TErrorEvent kind, int &code) {
            events << QStringLiteral("error:%1:%2").arg(static_cast<int>(kind)).arg(code);
            if (clearErrors)
                code = 0;
        };
    }

    quint16 Start()
    {
        server.SetActive(true);
        return server.Socket()->LocalPort();
    }

    int Count(const QString &event) const { return static_cast<int>(events.count(event)); }

    TServerSocket server;
    QStringList events;
    QByteArray received;
    TCustomWinSocket *last = nullptr;
    bool senderWasListener = false;
    bool clearErrors = true;
    std::function<void(TCustomWinSocket *, const QByteArray &)> onRead;
    std::function<void(TCustomWinSocket *)> onDisconnect;
};

inline std::unique_ptr<QIODevice> BufferOf(const QByteArray &bytes)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// Bytes that show where a piece went missing or came twice.
inline QByteArray Pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    return bytes;
}
