#include "server/BasicCredentials.h"

#include "server/HeadGathering.h"
#include "server/HttpFraming.h"

#include <QList>

namespace http {

namespace {

// Only the one canonical spelling is taken: the alphabet, the padding, nothing left over.
std::optional<QByteArray> strictBase64Decoded(const QByteArray &text)
{
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.toBase64() != text)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace

std::optional<BasicCredentials> BasicCredentialsOf(const QByteArray &requestText)
{
    const std::optional<QByteArray> value = HeaderValue(requestText, QByteArrayLiteral("Authorization"));
    if (!value)
        return std::nullopt;
    const qsizetype space = value->indexOf(' ');
    if (space < 0 || value->left(space).compare("Basic", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const std::optional<QByteArray> decoded = strictBase64Decoded(value->mid(space + 1).trimmed());
    if (!decoded)
        return std::nullopt;
    const qsizetype colon = decoded->indexOf(':');
    if (colon < 0)
        return std::nullopt;
    return BasicCredentials{decoded->left(colon), decoded->mid(colon + 1)};
}

QByteArray WithoutAuthorization(const QByteArray &head)
{
    const qsizetype at = head.indexOf("\nAUTHORIZATION");
    return at < 0 ? head : head.left(at + 1);
}

} // namespace http
