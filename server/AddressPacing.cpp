#include "server/AddressPacing.h"

namespace {

constexpr qsizetype AddressesBeforeCleaning = 1024;

} // namespace

// A clock set back counts as a new interval rather than a long silence.
bool AddressPacing::withinInterval(const QDateTime &last, const QDateTime &now) const
{
    return last <= now && last.secsTo(now) < intervalSeconds_;
}

bool AddressPacing::Allows(const QString &address, const QDateTime &now)
{
    const auto found = last_.constFind(address);
    if (found != last_.constEnd() && withinInterval(found.value(), now))
        return false;
    if (last_.size() >= AddressesBeforeCleaning)
        forgetQuietAddresses(now);
    last_.insert(address, now);
    return true;
}

void AddressPacing::forgetQuietAddresses(const QDateTime &now)
{
    last_.removeIf([&](QHash<QString, QDateTime>::iterator entry) { return !withinInterval(entry.value(), now); });
}
