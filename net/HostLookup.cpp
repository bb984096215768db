#include "net/HostLookup.h"

namespace seams {

Seam<int(const QString &, QObject *, std::function<void(const QHostInfo &)>)> LookupHost{
    [](const QString &name, QObject *receiver, std::function<void(const QHostInfo &)> answered) {
        return QHostInfo::lookupHost(name, receiver, std::move(answered));
    }};

} // namespace seams
