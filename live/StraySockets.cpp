#include "live/StraySockets.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace straysockets {

namespace {

// Lines of /proc/net/tcp: "sl local rem st ... uid timeout inode ...", addresses as hex "ADDR:PORT".
void collect(const QString &table, quint16 remotePort, Inodes &found)
{
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray port = ':' + QByteArray::number(remotePort, 16).toUpper().rightJustified(4, '0');
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QList<QByteArray> fields = lines.at(n).simplified().split(' ');
        if (fields.size() > 9 && fields.at(2).endsWith(port) && fields.at(9) != "0")
            found.insert(fields.at(9).toULongLong());
    }
}

} // namespace

Inodes ConnectedTo(quint16 remotePort)
{
    Inodes found;
    collect(QStringLiteral("/proc/self/net/tcp"), remotePort, found);
    collect(QStringLiteral("/proc/self/net/tcp6"), remotePort, found);
    return found;
}

int Close(const Inodes &sockets)
{
    if (sockets.empty())
        return 0;
    int closed = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &entry : descriptors.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = entry.symLinkTarget();
        const QString prefix = QStringLiteral("socket:[");
        const qsizetype at = target.indexOf(prefix);
        if (at < 0)
            continue;
        const quint64 inode = target.mid(at + prefix.size()).chopped(1).toULongLong();
        bool number = false;
        const int fd = entry.fileName().toInt(&number);
        if (number && sockets.count(inode) && ::close(fd) == 0)
            ++closed;
    }
    return closed;
}

} // namespace straysockets
