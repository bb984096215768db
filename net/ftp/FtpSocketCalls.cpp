#include "net/ftp/FtpSocketCalls.h"

#include "net/SocketErrors.h"

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace FtpSocketCalls {

qint64 Peek(int handle, char *data, qint64 length, int &error)
{
    const ssize_t peeked = ::recv(handle, data, static_cast<size_t>(length), MSG_PEEK | MSG_DONTWAIT);
    error = peeked < 0 ? SocketErrors::FromErrno(errno) : 0;
    return peeked;
}

quint32 LocalAddress(int handle)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(handle, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return 0;
    return local.sin_addr.s_addr;
}

void SetLingerOff(int handle)
{
    const linger off{0, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_LINGER, &off, sizeof off);
}

void SetResetOnClose(int handle)
{
    const linger reset{1, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

} // namespace FtpSocketCalls
