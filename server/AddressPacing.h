#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// Lets something happen at most once per interval for each address: a refusal logged once
// a minute, so that a client asking again and again cannot flood the log; a peer's message
// box shown once every few seconds, so that a peer cannot keep the desktop covered.
class AddressPacing {
public:
    explicit AddressPacing(qint64 intervalSeconds) : intervalSeconds_(intervalSeconds) {}

    // True when it may happen for the address now; it is then noted as having happened.
    bool Allows(const QString &address, const QDateTime &now);

private:
    bool withinInterval(const QDateTime &last, const QDateTime &now) const;
    // Forgets the addresses whose interval is over, so that many addresses cannot swell the list.
    void forgetQuietAddresses(const QDateTime &now);

    qint64 intervalSeconds_;
    QHash<QString, QDateTime> last_;
};
