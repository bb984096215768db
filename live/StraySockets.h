#pragma once

#include <QtGlobal>

#include <set>

// This process's TCP connections to a remote port, known by their sockets' inodes (Linux,
// from /proc). For connections a library opened and then lost without closing them.
namespace straysockets {

using Inodes = std::set<quint64>;

Inodes ConnectedTo(quint16 remotePort);
// Closes this process's descriptors of those sockets that are still open; how many it closed.
int Close(const Inodes &sockets);

} // namespace straysockets
