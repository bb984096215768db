#include "server/HttpFraming.h"

#include "server/HeadGathering.h"

#include <algorithm>

namespace http {

bool NamesHttpVersion(const QByteArray &requestText)
{
    qsizetype end = requestText.indexOf('\n');
    if (end < 0)
        end = requestText.size();
    QByteArray line = requestText.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    // " HTTP/" and a version of digits and dots, e.g. " HTTP/1.1".
    const qsizetype at = line.lastIndexOf(" HTTP/");
    if (at <= 0)
        return false;
    const QByteArray version = line.mid(at + 6);
    if (version.isEmpty() || version.front() < '0' || version.front() > '9')
        return false;
    for (const char c : version) {
        if ((c < '0' || c > '9') && c != '.')
            return false;
    }
    return true;
}

QByteArray ResponseHead(const QByteArray &contentType, qint64 contentLength, Connection connection)
{
    QByteArray head;
    head.reserve(192);
    head += "HTTP/1.0 200 OK\r\n";
    head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    head += "Cache-Control: no-cache, no-store\r\nPragma: no-cache\r\n";
    head += connection == Connection::KeepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    return head;
}

QByteArray UnauthorizedResponse()
{
    const QByteArray body = QByteArrayLiteral("This camera asks for a user name and password.\n");
    QByteArray response;
    response += "HTTP/1.0 401 Unauthorized\r\n";
    response += "WWW-Authenticate: Basic realm=\"Vantrel\", charset=\"UTF-8\"\r\n";
    response += "Content-Type: text/plain; charset=utf-8\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "Cache-Control: no-cache, no-store\r\nConnection: close\r\n\r\n";
    return response + body;
}

QByteArray StatusResponse(const QByteArray &status, const QByteArray &headers, const QByteArray &contentType,
                          const QByteArray &body)
{
    QByteArray response = "HTTP/1.0 " + status + "\r\n" + headers;
    if (!contentType.isEmpty())
        response += "Content-Type: " + contentType + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "Cache-Control: no-cache, no-store\r\nConnection: close\r\n\r\n";
    return response + body;
}

QByteArray TextResponse(const QByteArray &status, const QString &text)
{
    return StatusResponse(status, {}, QByteArrayLiteral("text/plain; charset=utf-8"), text.toUtf8() + '\n');
}

namespace {

// A host name or dotted address without its port; empty when it is neither.
QByteArray HostWithoutPort(const QByteArray &host)
{
    const QByteArray name = host.left(host.indexOf(':') < 0 ? host.size() : host.indexOf(':'));
    const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    });
    return plain && name.size() <= 253 ? name : QByteArray();
}

// The request line's path when it is one (printable, beginning with '/'), else "/".
QByteArray RequestPath(const QByteArray &requestText)
{
    const QByteArray line = requestText.left(requestText.indexOf('\n')).trimmed();
    const QList<QByteArray> parts = line.split(' ');
    const QByteArray path = parts.size() >= 2 ? parts.at(1) : QByteArray();
    const bool printable = std::all_of(path.begin(), path.end(), [](char c) { return c > ' ' && c < 127; });
    return path.startsWith('/') && !path.startsWith("//") && printable ? path : QByteArray("/");
}

} // namespace

QByteArray RedirectToHttps(const QByteArray &requestText, quint16 port, const QByteArray &fallbackHost)
{
    QByteArray host = HostWithoutPort(HeaderValue(requestText, "Host").value_or(QByteArray()));
    if (host.isEmpty())
        host = fallbackHost;
    const QByteArray location = "https://" + host + ':' + QByteArray::number(port) + RequestPath(requestText);
    // A client follows a 301 with a GET whatever it sent; 308 keeps a WHEP offer a POST.
    const bool fetch = requestText.startsWith("GET ") || requestText.startsWith("HEAD ");
    return StatusResponse(fetch ? "301 Moved Permanently" : "308 Permanent Redirect", "Location: " + location + "\r\n",
                          "text/plain; charset=utf-8", "This camera is served over HTTPS: " + location + '\n');
}

std::optional<QByteArray> HeaderValue(const QByteArray &requestText, const QByteArray &name)
{
    const qsizetype headEnd = HeadEnd(requestText);
    const QByteArrayView head = QByteArrayView(requestText).first(headEnd < 0 ? requestText.size() : headEnd);
    // The request line is no header.
    for (qsizetype start = head.indexOf('\n') + 1; start > 0 && start < head.size();) {
        qsizetype end = head.indexOf('\n', start);
        if (end < 0)
            end = head.size();
        const QByteArrayView line = head.sliced(start, end - start);
        start = end + 1;
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(colon + 1).trimmed().toByteArray();
    }
    return std::nullopt;
}

} // namespace http
