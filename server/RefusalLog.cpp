#include "server/RefusalLog.h"

namespace {

constexpr qsizetype AddressesBeforeCleaning = 1024;

// A clock set back counts as a new minute rather than a long silence.
bool withinQuietTime(const QDateTime &logged, const QDateTime &now)
{
    return logged <= now && logged.secsTo(now) < RefusalLog::QuietSeconds;
}

} // namespace

bool RefusalLog::ShouldLog(const QString &address, const QDateTime &now)
{
    const auto found = lastLogged_.constFind(address);
    if (found != lastLogged_.constEnd() && withinQuietTime(found.value(), now))
        return false;
    if (lastLogged_.size() >= AddressesBeforeCleaning)
        forgetQuietAddresses(now);
    lastLogged_.insert(address, now);
    return true;
}

void RefusalLog::forgetQuietAddresses(const QDateTime &now)
{
    lastLogged_.removeIf(
        [&now](QHash<QString, QDateTime>::iterator entry) { return !withinQuietTime(entry.value(), now); });
}
