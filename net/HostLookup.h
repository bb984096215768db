#pragma once

#include "base/seams/Seam.h"

#include <QHostInfo>

#include <functional>

namespace seams {

// Looks a host name up and hands the answer to `answered` from the event loop, in the
// receiver's thread, as QHostInfo::lookupHost does; nothing is answered once the receiver
// is gone. The system's resolver runs on a thread of the lookup's own that nothing waits
// for, so a resolver that hangs never holds the program's end. Returns an id that is never
// one of QHostInfo's own, so it is never passed to QHostInfo::abortHostLookup;
// a caller that loses interest ignores the late answer.
extern Seam<int(const QString &name, QObject *receiver, std::function<void(const QHostInfo &)> answered)> LookupHost;

// The blocking lookup that LookupHost runs on its own thread: the system's resolver
// (getaddrinfo), IPv4 and IPv6 addresses in its order. Called on that thread.
extern Seam<QHostInfo(const QString &name)> ResolveHostName;

} // namespace seams
