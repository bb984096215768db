#include "server/HeadGathering.h"

#include "server/HttpFraming.h"

HeadGathering::~HeadGathering()
{
    for (const Pending &pending : std::as_const(pending_))
        disconnect(pending.watch);
}

void HeadGathering::Forget(QObject *connection)
{
    const auto found = pending_.constFind(connection);
    if (found == pending_.constEnd())
        return;
    disconnect(found->watch);
    pending_.erase(found);
}

HeadGathering::Outcome HeadGathering::Add(QObject *connection, const QByteArray &received, QByteArray &request)
{
    auto found = pending_.find(connection);
    const bool gathering = found != pending_.end();
    QByteArray text = gathering ? found->text + received : received;
    const qsizetype headEnd = http::HeadEnd(text);
    const qint64 bodyLength = headEnd >= 0 ? http::ContentLength(text.left(headEnd)) : 0;
    if (bodyLength > MaxBodyBytes) {
        Forget(connection);
        return Outcome::TooLarge;
    }
    if ((headEnd >= 0 && text.size() - headEnd >= bodyLength) || (!gathering && !http::NamesHttpVersion(text))) {
        Forget(connection);
        request = std::move(text);
        return Outcome::Ready;
    }
    if (headEnd < 0 && text.size() > MaxHeadBytes) {
        Forget(connection);
        return Outcome::TooLong;
    }
    if (gathering) {
        found->text = std::move(text);
        return Outcome::Waiting;
    }
    const auto watch = connect(connection, &QObject::destroyed, this, [this, connection] { Forget(connection); });
    pending_.insert(connection, Pending{std::move(text), QDeadlineTimer(HeadTimeoutMs), watch});
    return Outcome::Waiting;
}

QList<QObject *> HeadGathering::TakeOverdue()
{
    QList<QObject *> overdue;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->deadline.hasExpired()) {
            overdue.append(it.key());
            disconnect(it->watch);
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    return overdue;
}

namespace http {

qsizetype HeadEnd(const QByteArray &text)
{
    for (qsizetype at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1)) {
        if (at + 1 < text.size() && text.at(at + 1) == '\n')
            return at + 2;
        if (at + 2 < text.size() && text.at(at + 1) == '\r' && text.at(at + 2) == '\n')
            return at + 3;
    }
    return -1;
}

// Read where the head lies, line by line, without copying it: this runs for every request.
qint64 ContentLength(const QByteArray &head)
{
    static constexpr QByteArrayView name("content-length:");
    for (qsizetype start = 0; start < head.size();) {
        qsizetype end = head.indexOf('\n', start);
        if (end < 0)
            end = head.size();
        const QByteArrayView line = QByteArrayView(head).sliced(start, end - start);
        start = end + 1;
        if (line.size() < name.size() || line.first(name.size()).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        bool number = false;
        const qint64 length = line.sliced(name.size()).trimmed().toLongLong(&number);
        return number && length >= 0 ? length : -1;
    }
    return 0;
}

} // namespace http
