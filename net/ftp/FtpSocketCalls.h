#pragma once

#include <QtGlobal>

// The few socket calls the FTP client needs beyond net/PosixSocket. Errors come back as
// SocketErrors numbers.
namespace FtpSocketCalls {

// Copies waiting bytes without taking them; -1 with error set (WouldBlock when none wait),
// 0 when the peer has closed.
qint64 Peek(int handle, char *data, qint64 length, int &error);
// The local IPv4 address a connected socket uses, network byte order; 0 on failure.
quint32 LocalAddress(int handle);
// Closing then hands the unsent data to the system and ends the stream in order.
void SetLingerOff(int handle);
// Closing then resets the connection and drops the unsent data.
void SetResetOnClose(int handle);

} // namespace FtpSocketCalls
