// A small server made of the socket components, as the webcam server uses them: every
// connection gets the same 40 KB HTTP-framed answer through WriteStreamThenClose.
// Usage: NetBench [port]; prints "port <n>" once listening (port 0 picks a free one).
#include "net/ESocketError.h"
#include "net/TServerSocket.h"

#include <QBuffer>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

QByteArray Answer()
{
    constexpr int bodySize = 40 * 1024;
    QByteArray answer =
        "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(bodySize) +
        "\r\nConnection: close\r\n\r\n";
    for (int i = 0; i < bodySize; ++i)
        answer.append(static_cast<char>(i * 31 % 251));
    return answer;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    const QByteArray answer = Answer();

    TServerSocket server;
    server.SetPort(argc > 1 ? QByteArray(argv[1]).toInt() : 0);
    server.OnClientRead = [&answer](QObject *, TCustomWinSocket *socket) {
        socket->ReadAvailableText();
        auto stream = std::make_unique<QBuffer>();
        stream->setData(answer); // shares the bytes, no copy
        stream->open(QIODevice::ReadOnly);
        socket->WriteStreamThenClose(std::move(stream));
    };
    server.OnClientError = [](QObject *, TCustomWinSocket *, TErrorEvent, int &code) { code = 0; };
    try {
        server.SetActive(true);
    } catch (const ESocketError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    std::printf("port %d\n", server.Socket()->LocalPort());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
