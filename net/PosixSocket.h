#pragma once

#include <QString>
#include <QtGlobal>

// Thin wrappers over the POSIX socket calls the endpoints use. Every socket is an IPv4
// stream socket in non-blocking mode; every error comes back as a SocketErrors number.
namespace PosixSocket {

constexpr int InvalidHandle = -1;

struct Accepted {
    int handle = InvalidHandle;
    int error = 0;
    quint32 peerAddress = 0; // network byte order
};

// A new non-blocking, close-on-exec stream socket, or InvalidHandle with error set.
int CreateStream(int &error);
// Binds to every interface on the port; 0 or the error. The address may be reused at once
// after a previous listener, but never while another socket listens on it.
int BindAny(int handle, quint16 port);
int Listen(int handle, int backlog);
Accepted Accept(int listeningHandle);
// 0 when connected at once, SocketErrors::WouldBlock while in progress, else the error.
int Connect(int handle, quint32 address, quint16 port);
// Bytes taken or received, or -1 with error set. A send never raises SIGPIPE. With
// moreFollows the system may hold a short tail back to join it with the next send.
qint64 Send(int handle, const char *data, qint64 length, int &error, bool moreFollows = false);
qint64 Receive(int handle, char *data, qint64 length, int &error);
// Bytes waiting to be read, 0 when none (or on failure).
int BytesWaiting(int handle);
// The next byte to be read, left waiting; -1 when there is none yet.
int FirstByte(int handle);
// For a readable socket with nothing waiting: 0 when the peer closed in order,
// SocketErrors::WouldBlock when there was nothing after all, else the error that ended it.
int ClosedState(int handle);
// The outcome of a non-blocking connect: 0 or the error.
int PendingError(int handle);
int Close(int handle);
// The process's soft limit of open file descriptors; a large number when there is none.
int DescriptorLimit();
// Raises the soft limit to the hard one, for a server with many clients (the usual soft
// limit of a desktop session is 1024).
void RaiseDescriptorLimit();
// Descriptors the process has open now.
int OpenDescriptors();
// The local port a socket is bound to, 0 when it is not bound.
quint16 LocalPort(int handle);

QString DottedAddress(quint32 address);
// The address of a dotted-quad text in network byte order; all ones when it is not one.
quint32 ParseDottedAddress(const QString &text);
// The port number of a TCP service name, 0 when it is unknown.
quint16 ServicePort(const QString &service);

} // namespace PosixSocket
