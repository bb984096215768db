#pragma once

#include <QByteArray>

// Reading FTP reply lines ("220-Welcome", "220 Ready", "553 Could not create file.").
namespace FtpReply {

// The number of the line's leading digits (at most 10), 0 when there are none or they do
// not fit.
int Code(const QByteArray &line);

// True for a line that another line of the same reply follows: it starts with a blank or
// has '-' as its fourth character.
bool Continues(const QByteArray &line);

inline bool Within(int code, int lowest, int highest) { return code >= lowest && code <= highest; }

} // namespace FtpReply
