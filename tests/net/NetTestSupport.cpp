#include "tests/net/NetTestSupport.h"

#include "net/ESocketError.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

RawPeer::~RawPeer() { Close(); }

int StartLoopbackConnect(quint16 port, bool smallReceiveBuffer, quint8 fromHost)
{
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return -1;
    if (fromHost != 1) { // another loopback address: another client as the server sees it
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(INADDR_LOOPBACK - 1 + fromHost);
        if (::bind(handle, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0) {
            ::close(handle);
            return -1;
        }
    }
    if (smallReceiveBuffer) {
        const int size = 4096;
        ::setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(handle, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        ::close(handle);
        return -1;
    }
    return handle;
}

bool RawPeer::Connect(quint16 port, bool smallReceiveBuffer, quint8 fromHost)
{
    Close();
    handle_ = StartLoopbackConnect(port, smallReceiveBuffer, fromHost);
    if (handle_ < 0)
        return false;
    // Let the server accept: its queue of waiting connections is short.
    PumpEvents(1);
    int error = 0;
    const bool settled = TransferUntil([&] {
        socklen_t length = sizeof error;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        ::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length);
        return error != 0 || ::getpeername(handle_, reinterpret_cast<sockaddr *>(&peer), &peerLength) == 0;
    });
    return settled && error == 0;
}

bool RawPeer::Send(const QByteArray &data)
{
    qint64 offset = 0;
    return TransferUntil(
        [&] {
            while (offset < data.size()) {
                const ssize_t sent = ::send(handle_, data.constData() + offset, data.size() - offset, MSG_NOSIGNAL);
                if (sent <= 0)
                    return false;
                offset += sent;
            }
            return true;
        },
        30000);
}

bool RawPeer::ReceiveSome(QByteArray &into)
{
    char buffer[65536];
    for (;;) {
        const ssize_t received = ::recv(handle_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received > 0) {
            into.append(buffer, received);
            continue;
        }
        if (received == 0 || (errno != EAGAIN && errno != EINTR))
            closedByServer_ = true;
        return closedByServer_;
    }
}

QByteArray RawPeer::ReceiveUntilClosed(int timeoutMs)
{
    QByteArray received;
    TransferUntil([&] { return ReceiveSome(received); }, timeoutMs);
    return received;
}

QByteArray RawPeer::ReceiveAtLeast(qint64 count, int timeoutMs)
{
    QByteArray received;
    TransferUntil([&] { return ReceiveSome(received) || received.size() >= count; }, timeoutMs);
    return received;
}

void RawPeer::ShutdownWrite() { ::shutdown(handle_, SHUT_WR); }

void RawPeer::Reset()
{
    const linger abort{1, 0};
    ::setsockopt(handle_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Close();
}

void RawPeer::Close()
{
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
}

ExceptionRecorder::ExceptionRecorder()
{
    SetSocketExceptionDisplay([this] {
        try {
            throw;
        } catch (const ESocketError &error) {
            messages.append(error.message());
        } catch (const std::exception &error) {
            messages.append(QString::fromUtf8(error.what()));
        }
    });
}

ExceptionRecorder::~ExceptionRecorder() { SetSocketExceptionDisplay(nullptr); }

LoopCounter::LoopCounter()
{
    connection_ = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                   QCoreApplication::instance(), [this] { ++iterations; });
}

LoopCounter::~LoopCounter() { QObject::disconnect(connection_); }

void PumpEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray ExchangeWith(quint16 port, const QByteArray &request)
{
    RawPeer peer;
    if (!peer.Connect(port))
        return "<refused>";
    peer.Send(request);
    return peer.ReceiveUntilClosed();
}
