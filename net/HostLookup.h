#pragma once

#include "base/seams/Seam.h"

#include <QHostInfo>

#include <functional>

namespace seams {

// Looks a host name up and hands the answer to `answered` from the event loop, in the
// receiver's thread, as QHostInfo::lookupHost does. Returns the id for
// QHostInfo::abortHostLookup.
extern Seam<int(const QString &name, QObject *receiver, std::function<void(const QHostInfo &)> answered)> LookupHost;

} // namespace seams
