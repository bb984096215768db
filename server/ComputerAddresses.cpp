#include "server/ComputerAddresses.h"

#include <QNetworkInterface>

#include <array>

#include <unistd.h>

namespace computer {
namespace {

std::optional<QString> systemHostName()
{
    std::array<char, 80> name{};
    if (gethostname(name.data(), name.size() - 1) != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(name.data());
}

QStringList interfaceAddresses()
{
    QStringList reachable;
    QStringList loopback;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            (address.isLoopback() ? loopback : reachable).append(address.toString());
        }
    }
    return reachable.isEmpty() ? loopback : reachable;
}

} // namespace

Seam<std::optional<QString>()> HostName{systemHostName};
Seam<QStringList()> Addresses{interfaceAddresses};

} // namespace computer
