#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Browsers refuse an answer without a status line on any port but 80, so a request that
// names an HTTP version gets a minimal HTTP/1.0 head in front of the body. Requests
// without a version (terminals, scripts) get the bare bytes, as they always have.
namespace http {

// True when the request's first line ends in an HTTP version, as in "GET /pic1.jpg HTTP/1.1".
bool NamesHttpVersion(const QByteArray &requestText);

// The value of the request's first header line with that name (compared without regard to
// case), trimmed; none when it has no such line.
std::optional<QByteArray> HeaderValue(const QByteArray &requestText, const QByteArray &name);

enum class Connection { Close, KeepAlive };

// "HTTP/1.0 200 OK" with Content-Type, Content-Length, no-cache and Connection, ending in an empty line.
QByteArray ResponseHead(const QByteArray &contentType, qint64 contentLength, Connection connection);

// "HTTP/1.0 401 Unauthorized" asking for Basic credentials (realm "Vantrel", UTF-8), with a
// short text body and Connection: close: the whole answer to a request without the viewer password.
QByteArray UnauthorizedResponse();

// A whole answer with any status ("201 Created"), its own header lines (each ending in CR LF),
// a body and Connection: close.
QByteArray StatusResponse(const QByteArray &status, const QByteArray &headers, const QByteArray &contentType,
                          const QByteArray &body);

// "301 Moved Permanently" (for GET and HEAD; "308 Permanent Redirect", which keeps the method,
// for the others) to the same path over https: at the host the request named (its port
// replaced by the given one), or at the fallback when it named none or something that is no
// host name. Nothing of the request reaches the Location header unchecked.
QByteArray RedirectToHttps(const QByteArray &requestText, quint16 port, const QByteArray &fallbackHost);

// A short plain-text answer with a status, for refusals ("400 Bad Request", the reason).
QByteArray TextResponse(const QByteArray &status, const QString &text);

} // namespace http
