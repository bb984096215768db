#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// Refused requests are logged at most once a minute per address, so that a client asking
// again and again (a browser retrying, a script) cannot flood the log.
class RefusalLog {
public:
    static constexpr qint64 QuietSeconds = 60;

    // True when a refusal from the address is to be logged now; it is then noted as logged.
    bool ShouldLog(const QString &address, const QDateTime &now);

private:
    // Forgets the addresses whose quiet time is over, so that many addresses cannot swell the list.
    void forgetQuietAddresses(const QDateTime &now);

    QHash<QString, QDateTime> lastLogged_;
};
