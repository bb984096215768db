#pragma once

#include "app/Globals.h"
#include "app/TFormMain.h"
#include "net/TServerSocket.h"
#include "tests/net/NetTestSupport.h"

#include <QByteArray>

// The port the program's server listens on (the system picks it in tests).
inline quint16 ServerPort() { return FormMain->ServerSocket->Socket()->LocalPort(); }

// One request on a fresh connection; what came back until the server closed it.
inline QByteArray Exchange(const QByteArray &request, int timeoutMs = 10000)
{
    RawPeer peer;
    if (!peer.Connect(ServerPort()))
        return QByteArrayLiteral("<refused>");
    peer.Send(request);
    return peer.ReceiveUntilClosed(timeoutMs);
}

// The body of an answer with an HTTP head; the answer itself when it has none.
inline QByteArray BodyOf(const QByteArray &answer)
{
    if (!answer.startsWith("HTTP/"))
        return answer;
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : answer.mid(end + 4);
}

inline QByteArray HeadOf(const QByteArray &answer)
{
    return answer.startsWith("HTTP/") ? answer.left(answer.indexOf("\r\n\r\n") + 4) : QByteArray();
}
