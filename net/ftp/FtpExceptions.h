#pragma once

#include "base/seams/Exception.h"

#include <QString>

#include <stdexcept>

// The FTP client's exceptions. Each carries its message text; "Not Connected" is the
// program's general `Exception`.
class FtpError : public std::runtime_error {
public:
    explicit FtpError(const QString &message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

// A failure of the socket layer: "Connection Failed", "10054:Connection reset by peer", ...
class ESockError : public FtpError {
public:
    using FtpError::FtpError;
};

// A refusing FTP reply; the message is the reply line as received, CR LF included.
class FTPException : public FtpError {
public:
    using FtpError::FtpError;
};

// A wait ended by Cancel (or by the time limit): "Socket send aborted", "Socket readln aborted".
class EAbortError : public FtpError {
public:
    using FtpError::FtpError;
};
