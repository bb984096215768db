#include "server/ShareToken.h"

#include "server/HttpFraming.h"

#include <QList>

namespace {

const QByteArray CookieName = QByteArrayLiteral("vantrel-share");

// Tokens are Base64url: any other byte ends one.
bool isTokenCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

QByteArray tokenAt(const QByteArray &text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && isTokenCharacter(text.at(end)))
        ++end;
    return text.mid(from, end - from);
}

std::optional<QByteArray> tokenInAddress(const QByteArray &firstLine)
{
    const qsizetype query = firstLine.indexOf('?');
    if (query < 0)
        return std::nullopt;
    for (qsizetype at = firstLine.indexOf("share=", query); at >= 0; at = firstLine.indexOf("share=", at + 1)) {
        const char before = firstLine.at(at - 1);
        if (before == '?' || before == '&')
            return tokenAt(firstLine, at + 6);
    }
    return std::nullopt;
}

std::optional<QByteArray> tokenInCookie(const QByteArray &requestText)
{
    const std::optional<QByteArray> cookies = http::HeaderValue(requestText, "Cookie");
    if (!cookies)
        return std::nullopt;
    for (const QByteArray &pair : cookies->split(';')) {
        const QByteArray trimmed = pair.trimmed();
        if (trimmed.startsWith(CookieName + '='))
            return tokenAt(trimmed, CookieName.size() + 1);
    }
    return std::nullopt;
}

} // namespace

std::optional<http::ShareToken> http::ShareTokenOf(const QByteArray &requestText)
{
    qsizetype lineEnd = requestText.indexOf('\n');
    if (lineEnd < 0)
        lineEnd = requestText.size();
    if (const std::optional<QByteArray> token = tokenInAddress(requestText.left(lineEnd)))
        return ShareToken{*token, true};
    if (const std::optional<QByteArray> token = tokenInCookie(requestText))
        return ShareToken{*token, false};
    return std::nullopt;
}

QByteArray http::ShareCookieLine(const QByteArray &token, qint64 secondsLeft, bool secure)
{
    QByteArray line = "Set-Cookie: " + CookieName + '=' + token + "; Path=/; HttpOnly; SameSite=Strict";
    if (secondsLeft > 0)
        line += "; Max-Age=" + QByteArray::number(secondsLeft);
    if (secure)
        line += "; Secure";
    return line + "\r\n";
}

QByteArray http::WithoutShareToken(const QByteArray &head)
{
    const qsizetype at = head.indexOf("SHARE=");
    return at < 0 ? head : head.left(at + 6) + "...";
}
