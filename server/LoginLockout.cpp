#include "server/LoginLockout.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr qint64 Ms = 1000;

} // namespace

bool LoginLockout::Failed(const QString &address, const QDateTime &now)
{
    const qint64 at = now.toMSecsSinceEpoch();
    const std::lock_guard lock(mutex_);
    if (lockedAt(address, at))
        return false;
    if (!addresses_.contains(address))
        makeRoom(at);
    Record &record = addresses_[address];
    record.failures.push_back(at);
    while (record.failures.size() > size_t(Limit) || at - record.failures.front() >= WindowSeconds * Ms)
        record.failures.pop_front();
    if (record.failures.size() < size_t(Limit))
        return false;
    record.failures.clear();
    record.lockedUntil = at + LockSeconds * Ms;
    return true;
}

bool LoginLockout::Locked(const QString &address, const QDateTime &now) const
{
    const std::lock_guard lock(mutex_);
    return lockedAt(address, now.toMSecsSinceEpoch());
}

qsizetype LoginLockout::Remembered() const
{
    const std::lock_guard lock(mutex_);
    return addresses_.size();
}

bool LoginLockout::lockedAt(const QString &address, qint64 at) const
{
    const auto found = addresses_.constFind(address);
    return found != addresses_.cend() && found->lockedUntil > at;
}

QStringList LoginLockout::TakeEnded(const QDateTime &now)
{
    const qint64 at = now.toMSecsSinceEpoch();
    const std::lock_guard lock(mutex_);
    QStringList ended;
    for (auto it = addresses_.begin(); it != addresses_.end();) {
        if (it->lockedUntil != 0 && it->lockedUntil <= at) {
            ended << it.key();
            it = addresses_.erase(it);
        } else {
            ++it;
        }
    }
    return ended;
}

bool LoginLockout::AnyLocked() const
{
    const std::lock_guard lock(mutex_);
    return std::any_of(addresses_.cbegin(), addresses_.cend(),
                       [](const Record &record) { return record.lockedUntil != 0; });
}

// Room for more, a quarter of the whole at a time so that a flood pays for it once in many
// failures: what is stale goes first, then the addresses that failed longest ago and are not
// locked out; a lockout goes only when nothing else is left.
void LoginLockout::makeRoom(qint64 at)
{
    if (addresses_.size() < MaxAddresses)
        return;
    for (auto it = addresses_.begin(); it != addresses_.end();) {
        const bool stale = it->lockedUntil == 0 && at - it->failures.back() >= WindowSeconds * Ms;
        it = stale ? addresses_.erase(it) : std::next(it);
    }
    const qsizetype keep = MaxAddresses - MaxAddresses / 4;
    if (addresses_.size() <= keep)
        return;
    // Not locked out before locked out, then the earliest.
    std::vector<std::pair<std::pair<bool, qint64>, QString>> ranked;
    ranked.reserve(size_t(addresses_.size()));
    for (auto it = addresses_.cbegin(); it != addresses_.cend(); ++it) {
        const bool locked = it->lockedUntil != 0;
        ranked.push_back({{locked, locked ? it->lockedUntil : it->failures.back()}, it.key()});
    }
    const auto cut = ranked.begin() + (addresses_.size() - keep);
    std::nth_element(ranked.begin(), cut, ranked.end());
    for (auto it = ranked.begin(); it != cut; ++it)
        addresses_.remove(it->second);
}
