#include "net/ftp/TPowersock.h"

#include "net/PosixSocket.h"
#include "net/SocketErrors.h"
#include "net/ftp/FtpExceptions.h"

#include <QEventLoop>

#include <algorithm>

TPowersock::TPowersock(QObject *owner)
    : QObject(owner), notifiers_(
                          this, [this] { Readable(); }, [this] { Writable(); }),
      ioBuffer_(BlockBytes, '\0')
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { TimerFired(); });
    StatusMessage(8, QStringLiteral("Create"));
    EnsureSocket();
}

TPowersock::~TPowersock()
{
    destroying_ = true;
    Cancel();
    ++lookupGeneration_;
    notifiers_.Detach();
    if (handle_ >= 0)
        PosixSocket::Close(handle_);
}

void TPowersock::EnsureSocket()
{
    if (handle_ >= 0)
        return;
    int error = 0;
    const int handle = PosixSocket::CreateStream(error);
    if (handle == PosixSocket::InvalidHandle)
        throw ESockError(QStringLiteral("Initializaton of windows sockets failed"));
    AdoptHandle(handle);
}

void TPowersock::AdoptHandle(int handle)
{
    handle_ = handle;
    notifiers_.Attach(handle);
}

void TPowersock::Become(State next)
{
    Q_ASSERT_X(Allowed(state_, next), "TPowersock::Become", "move not in the lifecycle table");
    state_ = next;
}

bool TPowersock::Allowed(State from, State to)
{
    if (from == to)
        return true;
    switch (from) {
    case State::Idle:
        return to == State::Connecting || to == State::Connected || to == State::Listening;
    case State::Connecting:
        return to == State::Connected || to == State::Failed || to == State::Idle;
    case State::Failed:
        return to == State::Idle || to == State::Listening;
    case State::Listening:
        return to == State::Connected || to == State::Idle;
    case State::Connected:
        return to == State::Idle;
    }
    return false;
}

void TPowersock::MarkConnected()
{
    Become(State::Connected);
    broken_ = false;
    // Watching reads while idle lets a peer's close end the session as it happens.
    notifiers_.SetReadable(true);
}

void TPowersock::Disconnect()
{
    StatusMessage(4, QStringLiteral("Disconnecting"));
    RequestCloseSocket();
}

void TPowersock::RequestCloseSocket()
{
    if (state_ != State::Failed)
        Become(State::Idle);
    notifiers_.Detach();
    const int error = handle_ >= 0 ? PosixSocket::Close(handle_) : 0;
    handle_ = -1;
    Wake();
    if (destroying_)
        return;
    if (error == 0 && OnDisconnect)
        OnDisconnect(this);
    EnsureSocket();
    ErrorManager(error);
}

void TPowersock::Cancel()
{
    cancelled_ = true;
    Wake();
}

void TPowersock::ErrorManager(int error)
{
    lastError_ = error;
    // Every error counts, also an errno the table lacks: a quiet return would make the
    // caller retry it for ever.
    if (error == 0 || error == SocketErrors::WouldBlock)
        return;
    broken_ = true;
    const QString text = SocketErrorStr(error);
    if (OnError)
        OnError(this, error, text);
    throw ESockError(text);
}

QString TPowersock::SocketErrorStr(int number)
{
    if (!SocketErrors::Known(number))
        return QStringLiteral("Unknown Error No. %1").arg(number);
    return QStringLiteral("%1:%2").arg(number).arg(SocketErrors::Text(number));
}

void TPowersock::StatusMessage(int level, const QString &text)
{
    if (reportLevel_ < level)
        return;
    status_ = text;
    if (OnStatus)
        OnStatus(this, text);
}

void TPowersock::TimerOn()
{
    timedOut_ = false;
    if (timeOutMs_ > 0)
        timer_.start(timeOutMs_);
}

void TPowersock::TimerOff() { timer_.stop(); }

TPowersock::TimeLimit::TimeLimit(TPowersock &socket) : socket_(socket)
{
    if (socket_.timeLimits_++ == 0)
        socket_.TimerOn();
}

TPowersock::TimeLimit::~TimeLimit()
{
    if (--socket_.timeLimits_ == 0)
        socket_.TimerOff();
}

void TPowersock::TimerFired()
{
    timer_.stop();
    timedOut_ = true;
    lookupDone_ = true;
    Abort();
}

bool TPowersock::WaitFor(const std::function<bool()> &done)
{
    while (!done()) {
        if (cancelled_ || timedOut_)
            return false;
        QEventLoop loop;
        waits_.push_back(&loop);
        const int result = loop.exec();
        waits_.erase(std::find(waits_.begin(), waits_.end(), &loop));
        // Once the program quits, every nested loop returns at once (-1) without serving
        // any event: waiting on would spin for ever, so the wait ends as if cancelled.
        if (result < 0) {
            cancelled_ = true;
            return done();
        }
    }
    return true;
}

void TPowersock::WaitReadable()
{
    readReady_ = false;
    notifiers_.SetReadable(true);
    WaitFor([this] { return readReady_ || !Connected(); });
}

void TPowersock::WaitWritable()
{
    const TimeLimit limit(*this);
    writeReady_ = false;
    notifiers_.SetWritable(true);
    WaitFor([this] { return writeReady_ || !Connected(); });
}

void TPowersock::Breathe()
{
    QEventLoop loop;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    // Counts as a wait: a peer's close seen meanwhile is left to the read that follows.
    waits_.push_back(&loop);
    const int result = loop.exec();
    waits_.erase(std::find(waits_.begin(), waits_.end(), &loop));
    // As in WaitFor: once the program quits, the loop returns at once and the work ends.
    if (result < 0)
        cancelled_ = true;
}

// Quitting an outer loop while an inner one runs takes effect when the inner one ends,
// so every wait of this socket re-checks its condition.
void TPowersock::Wake()
{
    for (QEventLoop *loop : waits_)
        loop->quit();
}

void TPowersock::Readable()
{
    notifiers_.SetReadable(false);
    readReady_ = true;
    if (waits_.empty() && Connected())
        CloseIfPeerGone();
    Wake();
}

void TPowersock::Writable()
{
    notifiers_.SetWritable(false);
    writeReady_ = true;
    if (state_ == State::Connecting) {
        lastError_ = PosixSocket::PendingError(handle_);
        if (lastError_ == 0)
            MarkConnected();
        else
            Become(State::Failed);
    }
    Wake();
}

void TPowersock::CloseIfPeerGone()
{
    if (PosixSocket::BytesWaiting(handle_) > 0 || PosixSocket::ClosedState(handle_) == SocketErrors::WouldBlock)
        return;
    try {
        RequestCloseSocket();
    } catch (const ESockError &) {
        // Nobody waits to hear it; the session simply ends.
    }
}
