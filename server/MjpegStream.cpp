#include "server/MjpegStream.h"

#include "net/TCustomWinSocket.h"

#include <algorithm>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

const QByteArray Boundary = QByteArrayLiteral("vantrelframe");

} // namespace

MjpegStream::MjpegStream(QObject *parent) : QObject(parent)
{
    connect(&idleTimer_, &QTimer::timeout, this, [this] { closeIdleViewers(); });
}

MjpegStream::~MjpegStream() = default;

QByteArray MjpegStream::Head()
{
    return "HTTP/1.0 200 OK\r\n"
           "Content-Type: multipart/x-mixed-replace;boundary=" +
           Boundary +
           "\r\n"
           "Cache-Control: no-cache, no-store\r\nPragma: no-cache\r\n"
           "Connection: close\r\n\r\n--" +
           Boundary + "\r\n";
}

QByteArray MjpegStream::Part(const QByteArray &jpeg, qint64 captureMicros)
{
    QByteArray part;
    part.reserve(jpeg.size() + 128);
    part += "Content-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(jpeg.size()) + "\r\n";
    if (captureMicros > 0) {
        part += "X-Timestamp: " + QByteArray::number(captureMicros / 1000000) + '.' +
                QByteArray::number(captureMicros % 1000000).rightJustified(6, '0') + "\r\n";
    }
    part += "\r\n";
    part += jpeg;
    part += "\r\n--" + Boundary + "\r\n";
    return part;
}

void MjpegStream::AddViewer(TCustomWinSocket *socket, const QByteArray &firstPicture, qint64 captureMicros)
{
    if (!socket || !socket->Connected() || IsViewer(socket))
        return;
    auto viewer = std::make_unique<Viewer>();
    viewer->socket = socket;
    viewer->sending = Head();
    viewer->lastTaken = Clock::now();
    if (!firstPicture.isEmpty()) {
        viewer->waiting = Part(firstPicture, captureMicros);
        viewer->waitingBytes = firstPicture.size();
    }
    Viewer &added = *viewer;
    viewers_.push_back(std::move(viewer));
    updateTimer();
    ++busy_;
    const qint64 begun = sendOn(added);
    --busy_;
    afterSends(begun, 1);
}

bool MjpegStream::IsViewer(const TCustomWinSocket *socket) const
{
    return std::any_of(viewers_.begin(), viewers_.end(),
                       [socket](const auto &viewer) { return viewer->socket == socket; });
}

MjpegStream::Viewer *MjpegStream::find(const TCustomWinSocket *socket)
{
    for (const auto &viewer : viewers_) {
        if (socket && viewer->socket == socket)
            return viewer.get();
    }
    return nullptr;
}

void MjpegStream::RemoveViewer(const TCustomWinSocket *socket)
{
    if (Viewer *viewer = find(socket))
        *viewer = Viewer{};
    dropGone();
}

void MjpegStream::Clear()
{
    for (const auto &viewer : viewers_)
        *viewer = Viewer{};
    dropGone();
}

int MjpegStream::ViewerCount() const
{
    return static_cast<int>(std::count_if(viewers_.begin(), viewers_.end(), [](const auto &viewer) {
        return viewer->socket && viewer->socket->Connected();
    }));
}

void MjpegStream::Push(const QByteArray &jpeg, qint64 captureMicros)
{
    if (jpeg.isEmpty())
        return;
    picture_ = jpeg;
    part_ = Part(jpeg, captureMicros);
    int begun = 0;
    ++busy_;
    // By index: a viewer may be added while a send reports an error.
    for (size_t n = 0; n < viewers_.size(); ++n) {
        Viewer &viewer = *viewers_[n];
        if (!viewer.socket)
            continue;
        if (!hasWork(viewer))
            viewer.lastTaken = Clock::now();
        viewer.waiting = part_;
        viewer.waitingBytes = jpeg.size();
        if (viewer.offset == viewer.sending.size() && sendOn(viewer) > 0)
            ++begun;
    }
    --busy_;
    afterSends(jpeg.size(), begun);
}

void MjpegStream::Writable(TCustomWinSocket *socket)
{
    Viewer *viewer = find(socket);
    if (!viewer)
        return;
    ++busy_;
    const qint64 begun = sendOn(*viewer);
    --busy_;
    afterSends(begun, 1);
}

void MjpegStream::afterSends(qint64 pictureBytes, int viewers)
{
    if (pictureBytes > 0 && viewers > 0 && OnPictureSent)
        OnPictureSent(pictureBytes, viewers);
    dropGone();
}

bool MjpegStream::hasWork(const Viewer &viewer)
{
    return viewer.offset < viewer.sending.size() || !viewer.waiting.isEmpty();
}

qint64 MjpegStream::sendOn(Viewer &viewer)
{
    qint64 begun = 0;
    for (;;) {
        if (viewer.offset == viewer.sending.size()) {
            viewer.lastTaken = Clock::now();
            viewer.sending.clear();
            viewer.offset = 0;
            if (viewer.waiting.isEmpty())
                return begun;
            viewer.sending = std::exchange(viewer.waiting, QByteArray());
            begun = std::exchange(viewer.waitingBytes, 0);
        }
        TCustomWinSocket *socket = viewer.socket;
        if (!socket || !socket->Connected())
            return begun;
        // Held here: a failing send closes the connection, and its handler empties the entry.
        const QByteArray sending = viewer.sending;
        // A window onto the shared bytes, not a copy of them.
        const QByteArray rest =
            QByteArray::fromRawData(sending.constData() + viewer.offset, sending.size() - viewer.offset);
        const int taken = socket->WriteText(rest);
        // -1: the socket is full and its write notice will come; 0: it is closed.
        if (taken <= 0)
            return begun;
        viewer.offset += taken;
        viewer.lastTaken = Clock::now();
    }
}

void MjpegStream::closeIdleViewers()
{
    const auto now = Clock::now();
    ++busy_;
    for (size_t n = 0; n < viewers_.size(); ++n) {
        Viewer &viewer = *viewers_[n];
        if (viewer.socket && hasWork(viewer) && now - viewer.lastTaken >= IdleLimit) {
            const QPointer<TCustomWinSocket> socket = viewer.socket;
            viewer = Viewer{};
            if (socket)
                socket->CloseConnection();
        }
    }
    --busy_;
    dropGone();
}

// Connections freed by a stopping server or closed elsewhere leave their entry empty.
void MjpegStream::dropGone()
{
    if (busy_ > 0)
        return;
    std::erase_if(viewers_, [](const auto &viewer) { return !viewer->socket || !viewer->socket->Connected(); });
    updateTimer();
}

void MjpegStream::updateTimer()
{
    if (viewers_.empty()) {
        idleTimer_.stop();
        return;
    }
    const auto interval = std::clamp<std::chrono::milliseconds>(IdleLimit / 4, std::chrono::milliseconds(10),
                                                                std::chrono::milliseconds(1000));
    if (!idleTimer_.isActive() || idleTimer_.intervalAsDuration() != interval)
        idleTimer_.start(interval);
}
