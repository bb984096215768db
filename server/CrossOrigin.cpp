#include "server/CrossOrigin.h"

#include "server/HttpFraming.h"

#include <algorithm>

namespace {

// An origin is printable ASCII without spaces; anything else is no origin we answer to.
QByteArray originOf(const QByteArray &request)
{
    const QByteArray origin = http::HeaderValue(request, "Origin").value_or(QByteArray());
    const bool plain = std::all_of(origin.begin(), origin.end(), [](char c) { return c > 0x20 && c < 0x7f; });
    return plain ? origin : QByteArrayLiteral("invalid");
}

bool sameOrigin(const QByteArray &request, const QByteArray &origin)
{
    const QByteArray host = http::HeaderValue(request, "Host").value_or(QByteArray()).toLower();
    const QByteArray lower = origin.toLower();
    return !host.isEmpty() && (lower == "http://" + host || lower == "https://" + host);
}

} // namespace

bool CrossOrigin::Admits(const QByteArray &request) const
{
    const QByteArray origin = originOf(request);
    if (origin.isEmpty() || sameOrigin(request, origin))
        return true;
    const QString named = QString::fromLatin1(origin);
    return std::any_of(allowed_.begin(), allowed_.end(), [&named](const QString &allowed) {
        return allowed == QStringLiteral("*") || allowed.compare(named, Qt::CaseInsensitive) == 0;
    });
}

QByteArray CrossOrigin::HeadersFor(const QByteArray &request) const
{
    const QByteArray origin = originOf(request);
    if (origin.isEmpty() || sameOrigin(request, origin) || !Admits(request))
        return {};
    return "Access-Control-Allow-Origin: " + origin + "\r\nVary: Origin\r\nAccess-Control-Expose-Headers: Location\r\n";
}
