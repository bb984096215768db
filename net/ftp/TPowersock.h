#pragma once

#include "net/SocketNotifiers.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QEventLoop;

// One TCP socket with blocking-style operations (connect, send a line, read a line,
// listen and accept, send a file) for the FTP client. Each wait runs a nested QEventLoop,
// so the GUI stays responsive, and ends on its success condition, on Cancel, or when
// TimeOut ms pass without it (0: no limit). A fresh socket is ready after every close.
//
// Failures raise ESockError (socket errors as "10061:Connection refused", after OnError)
// or EAbortError (a cancelled or timed-out read or send). Once the program is quitting
// every wait ends at once as if cancelled. Do not delete the object from a handler that
// runs inside one of its waits; use deleteLater.
class TPowersock : public QObject {
    Q_OBJECT

public:
    static constexpr int DefaultTimeOutMs = 30000;
    // The longest reply line kept; the rest of an over-long line is read and dropped.
    static constexpr qsizetype MaxLineBytes = 65536;
    // The most bytes one reply, or one line of it, may take (kept or dropped) before
    // reading gives up on it.
    static constexpr qint64 MaxReplyBytes = 1 << 20;
    static constexpr qint64 BlockBytes = 65536;

    explicit TPowersock(QObject *owner = nullptr);
    ~TPowersock() override;

    void SetHost(const QString &host) { host_ = host; }
    QString Host() const { return host_; }
    void SetPort(int port) { port_ = port; }
    int Port() const { return port_; }
    void SetTimeOut(int ms) { timeOutMs_ = ms; }
    int TimeOut() const { return timeOutMs_; }
    void SetReportLevel(int level) { reportLevel_ = level; }
    int ReportLevel() const { return reportLevel_; }
    void SetProxy(const QString &proxy) { proxy_ = proxy; }
    QString Proxy() const { return proxy_; }
    void SetProxyPort(int port) { proxyPort_ = port; }
    int ProxyPort() const { return proxyPort_; }

    bool Connected() const { return state_ == State::Connected; }
    // Code and line of the last reply Transaction read; 0 when it had no digits.
    int ReplyNumber() const { return replyNumber_; }
    const QByteArray &LastReply() const { return lastReply_; }
    int LastErrorNo() const { return lastError_; }
    QString Status() const { return status_; }
    qint64 BytesSent() const { return bytesSent_; }

    // Resolves Host (or Proxy) and connects to Port (or ProxyPort).
    virtual void Connect();
    // Closes the socket.
    virtual void Disconnect();
    // Ends the running wait; Abort is the same.
    void Cancel();
    void Abort() { Cancel(); }
    // True when the last wait ended by Cancel or the time limit.
    bool Cancelled() const { return cancelled_; }
    // True when the last wait ended because TimeOut ms passed.
    bool TimedOut() const { return timedOut_; }

    bool DataAvailable();
    // One receive of whatever is waiting, result dropped.
    void ClearInput();
    // Takes up to count waiting bytes without waiting; 0 takes all that wait.
    QByteArray Read(qint64 count);
    // The next line with its CR LF; empty when the peer closed first.
    QByteArray ReadLn();
    void Write(const QByteArray &data);
    // Sends the text and CR LF. A text with a line break of its own is refused.
    void Writeln(const QString &text);
    // Sends the command and reads one reply line into ReplyNumber and LastReply.
    virtual void Transaction(const QString &command);

    // Listens on any free port, backlog 1, for a data connection.
    void Listen();
    // Waits for the connection to the listening socket and continues on it; connections
    // from another address than allowedPeer (network byte order, 0: any) are dropped.
    void Accept(quint32 allowedPeer);
    // Sends the file in blocks of BlockBytes, each once the socket took the one before.
    void SendFile(const QString &path);
    // Ends the stream in order (linger off) and closes.
    void CloseGracefully();
    // Resets the connection (linger 0): the peer cannot take what it got for the whole.
    void CloseAbortively();
    // The listening port as "high,low" in decimal, for PORT.
    QString GetPortString() const;
    // The dotted local address of the connected socket.
    QString GetLocalAddress() const;
    // The address Connect reached, network byte order.
    quint32 RemoteAddress() const { return remoteAddress_; }

    // "10061:Connection refused"; "Unknown Error No. n" for a number outside the table.
    static QString SocketErrorStr(int number);
    // Passes the text to OnStatus when ReportLevel is at least level: 1 protocol lines,
    // 4 socket actions, 8 internal steps.
    void StatusMessage(int level, const QString &text);
    // Closes the socket (OnDisconnect) and makes a fresh one.
    void RequestCloseSocket();

    std::function<void(QObject *Sender, int Errno, const QString &Errmsg)> OnError;
    std::function<void(QObject *Sender)> OnConnectionFailed;
    std::function<void(bool &Handled)> OnInvalidHost;
    std::function<void(QObject *Sender, const QString &Status)> OnStatus;
    std::function<void(QObject *Sender)> OnHostResolved;
    std::function<void(QObject *Sender)> OnDisconnect;
    std::function<void(QObject *Sender)> OnPacketSent;

protected:
    // The last reply was cut off by a close: there was none.
    void ForgetReply()
    {
        lastReply_.clear();
        replyNumber_ = 0;
    }
    void ClearCancel() { cancelled_ = false; }
    // True once a socket error or an abandoned read or send ended an operation on this
    // connection since it was opened.
    bool Broken() const { return broken_; }
    // The dialogue is out of step: what the peer sends next answers nothing we could ask.
    void MarkBroken() { broken_ = true; }
    // Gives up on the reply being read: "Socket readln aborted: " + why.
    [[noreturn]] void AbandonReply(const QString &why);

    // One time limit for everything waited for while it lives; limits taken inside it join
    // it, so a command and every line of its reply share one deadline.
    class TimeLimit {
    public:
        explicit TimeLimit(TPowersock &socket);
        ~TimeLimit();
        TimeLimit(const TimeLimit &) = delete;
        TimeLimit &operator=(const TimeLimit &) = delete;

    private:
        TPowersock &socket_;
    };
    // One pass of the event loop, for reads that find their data waiting: timers, the time
    // limit and a request to quit (which cancels) still get their turn.
    void Breathe();
    // Fires OnError and raises ESockError for any error but "would block".
    void ErrorManager(int error);

private:
    // The connection's lifecycle. Allowed moves:
    //   Idle       -> Connecting, Connected (connected at once), Listening
    //   Connecting -> Connected, Failed (the outcome), Idle (the wait gave up, or a close)
    //   Failed     -> Idle (the next connect), Listening
    //   Listening  -> Connected (accepted), Idle (a close)
    //   Connected  -> Idle (a close)
    // Failed outlives the close of the spent socket, so that a wait still running learns of it.
    enum class State { Idle, Connecting, Failed, Listening, Connected };

    void Become(State next);
    static bool Allowed(State from, State to);
    void EnsureSocket();
    void AdoptHandle(int handle);
    void MarkConnected();
    quint32 ResolveRemoteHost();
    quint32 ResolveWithRetry();
    quint32 LookUp(const QString &name);
    void AwaitConnect();
    void SendBuffer(const char *data, qint64 length);
    [[noreturn]] void Abandon(const QString &message, const QString &whenTimedOut);
    void AppendCapped(QByteArray &line, const char *data, qint64 length) const;

    void TimerOn();
    void TimerOff();
    void TimerFired();
    // Runs nested loops until done() holds, Cancel or the time limit; returns done().
    bool WaitFor(const std::function<bool()> &done);
    void WaitReadable();
    void WaitWritable();
    void Wake();
    void Readable();
    void Writable();
    // With no wait running, a readable socket with nothing to read has lost its peer.
    void CloseIfPeerGone();

    QString host_;
    int port_ = 0;
    int timeOutMs_ = DefaultTimeOutMs;
    int reportLevel_ = 1;
    QString proxy_;
    int proxyPort_ = 0;

    int handle_ = -1;
    int timeLimits_ = 0;
    SocketNotifiers notifiers_;
    QTimer timer_;
    std::vector<QEventLoop *> waits_;
    State state_ = State::Idle;
    bool cancelled_ = false;
    bool timedOut_ = false;
    bool lookupDone_ = false;
    bool readReady_ = false;
    bool writeReady_ = false;
    bool broken_ = false;
    bool destroying_ = false;
    quint32 remoteAddress_ = 0;
    quint32 lookedUpAddress_ = 0;
    quint64 lookupGeneration_ = 0;
    int replyNumber_ = 0;
    QByteArray lastReply_;
    QByteArray ioBuffer_;
    int lastError_ = 0;
    QString status_;
    qint64 bytesSent_ = 0;
};
