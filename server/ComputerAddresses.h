#pragma once

#include "base/seams/Seam.h"

#include <QString>
#include <QStringList>

#include <optional>

// The computer's name and the IPv4 addresses others can reach it at.
namespace computer {

// The host name; nothing when the system cannot tell it.
extern Seam<std::optional<QString>()> HostName;

// Dotted-quad IPv4 addresses of the network interfaces that are up, in the system's
// interface order. Loopback is left out unless it is all there is; empty when there is
// no IPv4 address at all.
extern Seam<QStringList()> Addresses;

} // namespace computer
