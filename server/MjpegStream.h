#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class TCustomWinSocket;

// The live stream: one multipart/x-mixed-replace answer per viewer, a JPEG part per new
// picture. Every viewer is sent the same bytes (one part per picture, shared, never copied
// per viewer). Sends never wait: a viewer whose socket is full finishes the part it has
// begun and then gets the newest picture that came meanwhile, skipping the ones between;
// at most one picture waits per viewer. A viewer that takes nothing of what waits for it
// for IdleLimit is closed.
class MjpegStream : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultIdleLimit{30000};

    explicit MjpegStream(QObject *parent = nullptr);
    ~MjpegStream() override;

    // The answer's head up to and with the first boundary (the same with or without an HTTP version).
    static QByteArray Head();
    // One part: its headers, the picture, and the boundary that ends it, so that a reader
    // knows the picture is complete as soon as it has arrived. With a capture time
    // (microseconds since 1970), the headers carry it as "X-Timestamp: <seconds>.<micros>".
    static QByteArray Part(const QByteArray &jpeg, qint64 captureMicros = 0);

    // Makes the connection a viewer: the head, then the first picture unless it is empty.
    void AddViewer(TCustomWinSocket *socket, const QByteArray &firstPicture, qint64 captureMicros = 0);
    bool IsViewer(const TCustomWinSocket *socket) const;
    // The connection is closing; nothing more is sent to it.
    void RemoveViewer(const TCustomWinSocket *socket);
    // Forgets every viewer (the server stopped and closed them).
    void Clear();
    int ViewerCount() const;

    // Hands a picture to every viewer.
    void Push(const QByteArray &jpeg, qint64 captureMicros = 0);
    // The newest picture pushed; empty before the first.
    const QByteArray &NewestPicture() const { return picture_; }
    // The connection can take more: goes on with what waits for it.
    void Writable(TCustomWinSocket *socket);

    std::chrono::milliseconds IdleLimit = DefaultIdleLimit;
    // A picture of `bytes` bytes begun for `viewers` viewers (body bytes, for the bandwidth).
    std::function<void(qint64 bytes, int viewers)> OnPictureSent;

private:
    struct Viewer {
        QPointer<TCustomWinSocket> socket;
        QByteArray sending; // the part being sent, shared with every other viewer
        qsizetype offset = 0;
        QByteArray waiting;      // the newest part not begun yet
        qint64 waitingBytes = 0; // its picture's size
        std::chrono::steady_clock::time_point lastTaken;
    };

    Viewer *find(const TCustomWinSocket *socket);
    static bool hasWork(const Viewer &viewer);
    // Sends what the viewer has until the socket is full or nothing is left; the size of
    // the picture it began, 0 when none.
    qint64 sendOn(Viewer &viewer);
    // Reports the pictures begun and drops the entries of viewers that went meanwhile.
    void afterSends(qint64 pictureBytes, int viewers);
    void closeIdleViewers();
    void dropGone();
    void updateTimer();

    // Entries stay where they are while sends run (a send may report an error, and the
    // handler may run a nested loop); emptied entries are dropped afterwards.
    std::vector<std::unique_ptr<Viewer>> viewers_;
    int busy_ = 0; // sends under way: the list is only compacted outside them
    QByteArray picture_;
    QByteArray part_;
    QTimer idleTimer_;
};
