#include "net/PosixSocket.h"

#include "net/SocketErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace PosixSocket {
namespace {

int LastError() { return SocketErrors::FromErrno(errno); }

sockaddr_in Ipv4(quint32 address, quint16 port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = address;
    return result;
}

// A peer's urgent byte stays in the data: out of line, a read stops at the urgent mark with the
// socket still readable, and a level-triggered notifier would fire for ever.
void ReadUrgentDataInLine(int handle)
{
    const int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
}

} // namespace

int CreateStream(int &error)
{
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    error = handle < 0 ? LastError() : 0;
    if (handle < 0)
        return InvalidHandle;
    ReadUrgentDataInLine(handle);
    return handle;
}

int BindAny(int handle, quint16 port)
{
    const int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in local = Ipv4(htonl(INADDR_ANY), port);
    return ::bind(handle, reinterpret_cast<const sockaddr *>(&local), sizeof local) == 0 ? 0 : LastError();
}

int Listen(int handle, int backlog) { return ::listen(handle, backlog) == 0 ? 0 : LastError(); }

Accepted Accept(int listeningHandle)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    Accepted result;
    result.handle =
        ::accept4(listeningHandle, reinterpret_cast<sockaddr *>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (result.handle < 0) {
        result.error = LastError();
        result.handle = InvalidHandle;
        return result;
    }
    ReadUrgentDataInLine(result.handle);
    result.peerAddress = peer.sin_addr.s_addr;
    return result;
}

int Connect(int handle, quint32 address, quint16 port)
{
    const sockaddr_in remote = Ipv4(address, port);
    if (::connect(handle, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0)
        return 0;
    return errno == EINPROGRESS ? SocketErrors::WouldBlock : LastError();
}

qint64 Send(int handle, const char *data, qint64 length, int &error, bool moreFollows)
{
    const int flags = MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0);
    const ssize_t sent = ::send(handle, data, static_cast<size_t>(length), flags);
    error = sent < 0 ? LastError() : 0;
    return sent;
}

qint64 Receive(int handle, char *data, qint64 length, int &error)
{
    const ssize_t received = ::recv(handle, data, static_cast<size_t>(length), 0);
    error = received < 0 ? LastError() : 0;
    return received;
}

int BytesWaiting(int handle)
{
    int count = 0;
    return ::ioctl(handle, FIONREAD, &count) == 0 ? count : 0;
}

int FirstByte(int handle)
{
    unsigned char byte = 0;
    return ::recv(handle, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 1 ? byte : -1;
}

int ClosedState(int handle)
{
    char byte = 0;
    const ssize_t peeked = ::recv(handle, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked == 0)
        return 0;
    return peeked > 0 ? SocketErrors::WouldBlock : LastError();
}

int PendingError(int handle)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return LastError();
    return error == 0 ? 0 : SocketErrors::FromErrno(error);
}

int DescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > static_cast<rlim_t>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(limit.rlim_cur);
}

void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

int OpenDescriptors()
{
    DIR *folder = ::opendir("/proc/self/fd");
    if (!folder)
        return 0;
    int open = 0;
    while (const dirent *entry = ::readdir(folder))
        open += entry->d_name[0] != '.' ? 1 : 0;
    ::closedir(folder);
    return open - 1; // the folder's own
}

int Close(int handle) { return ::close(handle) == 0 || errno == EINTR ? 0 : LastError(); }

quint16 LocalPort(int handle)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(handle, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

QString DottedAddress(quint32 address)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr value{};
    value.s_addr = address;
    return QString::fromLatin1(::inet_ntop(AF_INET, &value, text, sizeof text));
}

quint32 ParseDottedAddress(const QString &text) { return ::inet_addr(text.toLatin1().constData()); }

quint16 ServicePort(const QString &service)
{
    // getservbyname reads the local services file; it never waits on the network.
    const servent *entry = ::getservbyname(service.toLatin1().constData(), "tcp");
    return entry ? ntohs(static_cast<quint16>(entry->s_port)) : 0;
}

} // namespace PosixSocket
