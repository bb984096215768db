#include "net/HostLookup.h"

#include <QUrl>

#include <netdb.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

QHostInfo failure(QHostInfo info, QHostInfo::HostInfoError error, const QString &text)
{
    info.setError(error);
    info.setErrorString(text);
    return info;
}

QList<QHostAddress> addressesOf(const addrinfo *list)
{
    QList<QHostAddress> addresses;
    for (const addrinfo *entry = list; entry; entry = entry->ai_next) {
        const QHostAddress address(entry->ai_addr);
        if (!address.isNull() && !addresses.contains(address))
            addresses.append(address);
    }
    return addresses;
}

// Touches no Qt state that the application object owns: it may still run after that is gone.
QHostInfo resolve(const QString &name)
{
    QHostInfo info;
    info.setHostName(name);
    const QByteArray ace = QUrl::toAce(name);
    if (ace.isEmpty())
        return failure(info, QHostInfo::HostNotFound, u"No host name given"_s);
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo *list = nullptr;
    const int error = ::getaddrinfo(ace.constData(), nullptr, &hints, &list);
    if (error == EAI_NONAME || error == EAI_FAIL || error == EAI_NODATA)
        return failure(info, QHostInfo::HostNotFound, u"Host not found"_s);
    if (error != 0)
        return failure(info, QHostInfo::UnknownError, QString::fromLocal8Bit(::gai_strerror(error)));
    info.setAddresses(addressesOf(list));
    ::freeaddrinfo(list);
    if (info.addresses().isEmpty())
        return failure(info, QHostInfo::HostNotFound, u"Host not found"_s);
    return info;
}

} // namespace

namespace seams {

Seam<QHostInfo(const QString &)> ResolveHostName{resolve};

} // namespace seams
