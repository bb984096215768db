#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <deque>
#include <mutex>

// Wrong passwords counted per address: after `Limit` of them within `Window`, the address
// is locked out for `LockTime`, whatever it gives meanwhile (the right password included).
// At most `MaxAddresses` are remembered, so a flood of addresses cannot grow it without
// limit: those that failed longest ago and are not locked out go first. Any thread may ask.
class LoginLockout {
public:
    static constexpr int Limit = 10;
    static constexpr qint64 WindowSeconds = 10 * 60;
    static constexpr qint64 LockSeconds = 10 * 60;
    static constexpr int MaxAddresses = 4096;

    // One wrong password from the address: true when it starts a lockout.
    bool Failed(const QString &address, const QDateTime &now);
    bool Locked(const QString &address, const QDateTime &now) const;
    // The addresses whose lockout is over by now, each told once; they start afresh.
    QStringList TakeEnded(const QDateTime &now);
    bool AnyLocked() const;
    qsizetype Remembered() const;

private:
    // Times in milliseconds since the epoch.
    struct Record {
        std::deque<qint64> failures; // the last `Limit`, oldest first
        qint64 lockedUntil = 0;      // 0 while not locked out
    };
    bool lockedAt(const QString &address, qint64 at) const;
    void makeRoom(qint64 at);

    mutable std::mutex mutex_; // the web server's thread and RTSP's ask
    QHash<QString, Record> addresses_;
};
