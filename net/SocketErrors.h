#pragma once

#include <QString>

// The socket error numbering used in every message and event, whatever the platform:
// 10035 "Operation would block", 10054 "Connection reset by peer", 11001 "Host not found", ...
namespace SocketErrors {

constexpr int WouldBlock = 10035;
constexpr int HostNotFound = 11001;
constexpr int TryAgain = 11002;
constexpr int NoRecovery = 11003;
constexpr int NoData = 11004;

// The number of the platform's errno value in the table; an errno the table lacks keeps its own value.
int FromErrno(int errnoValue);

// True when the number is one of the table's entries.
bool Known(int code);

// The table's description of a number, for example "Connection refused" for 10061.
QString Text(int code);

} // namespace SocketErrors
