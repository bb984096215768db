#pragma once

#include "net/SocketExceptionDisplay.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QStringList>
#include <QtCore/qtestsupport_core.h>

// Starts a non-blocking connect to 127.0.0.1; the handle, or -1 when it failed at once. A small
// receive buffer makes a server's sends fill the connection soon.
// From 127.0.0.<fromHost>.
int StartLoopbackConnect(quint16 port, bool smallReceiveBuffer = false, quint8 fromHost = 1);

// A raw TCP peer on 127.0.0.1, driven by hand so that a test can half-close, reset or
// never read. Its calls never block; waits pump the event loop so the components run.
class RawPeer {
public:
    RawPeer() = default;
    ~RawPeer();
    RawPeer(const RawPeer &) = delete;
    RawPeer &operator=(const RawPeer &) = delete;

    // Connects and waits until connected (or refused); true on success. A small receive
    // buffer makes a server's sends fill the connection soon.
    bool Connect(quint16 port, bool smallReceiveBuffer = false, quint8 fromHost = 1);
    int Handle() const { return handle_; }
    // Sends all of it, pumping the loop while the socket is full.
    bool Send(const QByteArray &data);
    // Receives until the server closes (or the time runs out); returns what arrived.
    QByteArray ReceiveUntilClosed(int timeoutMs = 10000);
    // Receives until at least count bytes have arrived (or the time runs out).
    QByteArray ReceiveAtLeast(qint64 count, int timeoutMs = 10000);
    bool ClosedByServer() const { return closedByServer_; }
    void ShutdownWrite();
    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

private:
    bool ReceiveSome(QByteArray &into);

    int handle_ = -1;
    bool closedByServer_ = false;
};

// Records what the components raise inside notifications.
class ExceptionRecorder {
public:
    ExceptionRecorder();
    ~ExceptionRecorder();
    ExceptionRecorder(const ExceptionRecorder &) = delete;
    ExceptionRecorder &operator=(const ExceptionRecorder &) = delete;

    QStringList messages;
};

// Counts how often the event loop is about to sleep: a loop kept busy by a notifier that
// is always ready goes round thousands of times a second.
class LoopCounter {
public:
    LoopCounter();
    ~LoopCounter();
    LoopCounter(const LoopCounter &) = delete;
    LoopCounter &operator=(const LoopCounter &) = delete;

    int iterations = 0;

private:
    QMetaObject::Connection connection_;
};

// Pumps the event loop for a while.
void PumpEvents(int ms);
// Pumps until the condition holds or the time runs out; returns the condition.
template <typename Condition> bool PumpUntil(Condition condition, int timeoutMs = 10000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// For a condition that moves the data itself (sends, reads): goes round again as soon as the
// loop has handled what came, where qWaitFor naps 10 ms between rounds and makes megabytes
// through a small buffer, or thousands of connects, crawl.
template <typename Transfer> bool TransferUntil(Transfer transfer, int timeoutMs = 10000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!transfer()) {
        if (deadline.hasExpired())
            return false;
        PumpEvents(1);
    }
    return true;
}

// Loop iterations allowed in one PumpEvents(QuietWindowMs) while nothing should happen:
// a handful for the timer and stray events, where a spinning loop makes thousands.
constexpr int QuietWindowMs = 100;
constexpr int QuietLoopLimit = 10;

// Sends the request on a new connection to 127.0.0.1:port and returns all that comes back
// until the server closes; "<refused>" when it does not connect.
QByteArray ExchangeWith(quint16 port, const QByteArray &request);
