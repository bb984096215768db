#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>

// A browser's request head may arrive over several reads (long cookie headers). A request
// that names an HTTP version is gathered until its blank line; one without a version is
// taken as it comes, as terminals and scripts have always been served. A head that announces
// a body (Content-Length) is gathered with its body, which may be at most MaxBodyBytes.
class HeadGathering : public QObject {
public:
    HeadGathering() = default;
    ~HeadGathering() override;
    HeadGathering(const HeadGathering &) = delete;
    HeadGathering &operator=(const HeadGathering &) = delete;

    static constexpr qsizetype MaxHeadBytes = 16 * 1024;
    static constexpr qsizetype MaxBodyBytes = 64 * 1024;
    static constexpr int HeadTimeoutMs = 10000;

    // TooLong: a head past MaxHeadBytes; TooLarge: a body announced past MaxBodyBytes.
    enum class Outcome { Ready, Waiting, TooLong, TooLarge };

    // Adds what a connection sent; when Ready, request holds its whole text so far.
    Outcome Add(QObject *connection, const QByteArray &received, QByteArray &request);
    // Forgets a connection that has gone.
    void Forget(QObject *connection);
    // The connections whose head has been on its way too long; they are forgotten.
    QList<QObject *> TakeOverdue();
    bool IsEmpty() const { return pending_.isEmpty(); }

private:
    struct Pending {
        QByteArray text;
        QDeadlineTimer deadline;
        // A connection freed without a word is forgotten too.
        QMetaObject::Connection watch;
    };
    QHash<QObject *, Pending> pending_;
};

namespace http {

// Just past the blank line that ends a request's head (CR LF CR LF, or LF LF from a
// terminal), or -1 while it has not come.
qsizetype HeadEnd(const QByteArray &text);

// The Content-Length a head announces: 0 when it has none, -1 when it is not a number.
qint64 ContentLength(const QByteArray &head);

} // namespace http
