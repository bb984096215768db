#include "server/ShareLinks.h"

#include "base/ConstantTime.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <algorithm>

namespace {

constexpr int TokenBytes = 32;
constexpr int IdBytes = 4;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return bytes;
}

QByteArray digestOf(const QByteArray &token) { return QCryptographicHash::hash(token, QCryptographicHash::Sha256); }

QDateTime expiryOf(ShareLinks::Lifetime lifetime, const QDateTime &now)
{
    switch (lifetime) {
    case ShareLinks::Lifetime::Hour:
        return now.addSecs(3600);
    case ShareLinks::Lifetime::Day:
        return now.addDays(1);
    case ShareLinks::Lifetime::Week:
        return now.addDays(7);
    case ShareLinks::Lifetime::UntilRevoked:
        break;
    }
    return {};
}

bool expiredAt(const ShareLink &link, const QDateTime &now) { return link.expires.isValid() && link.expires <= now; }

} // namespace

ShareLinks::Made ShareLinks::Make(Lifetime lifetime, bool mayWatchRecordings, const QDateTime &now)
{
    const QByteArray token =
        randomBytes(TokenBytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    const ShareLink link{QString::fromLatin1(randomBytes(IdBytes).toHex()), digestOf(token), now,
                         expiryOf(lifetime, now), mayWatchRecordings};
    links_.push_back(link);
    if (links_.size() > Most)
        links_.erase(links_.begin());
    return Made{link, token};
}

std::optional<ShareLink> ShareLinks::Find(const QByteArray &token, const QDateTime &now) const
{
    const QByteArray digest = digestOf(token);
    std::optional<ShareLink> found;
    for (const ShareLink &link : links_) {
        if (SameBytesInConstantTime(link.tokenDigest, digest) && !expiredAt(link, now))
            found = link;
    }
    return found;
}

bool ShareLinks::Revoke(const QString &id)
{
    return std::erase_if(links_, [&id](const ShareLink &link) { return link.id == id; }) > 0;
}

std::vector<ShareLink> ShareLinks::TakeExpired(const QDateTime &now)
{
    std::vector<ShareLink> expired;
    std::copy_if(links_.begin(), links_.end(), std::back_inserter(expired),
                 [&now](const ShareLink &link) { return expiredAt(link, now); });
    std::erase_if(links_, [&now](const ShareLink &link) { return expiredAt(link, now); });
    return expired;
}

std::optional<QDateTime> ShareLinks::NextExpiry() const
{
    std::optional<QDateTime> next;
    for (const ShareLink &link : links_) {
        if (link.expires.isValid() && (!next || link.expires < *next))
            next = link.expires;
    }
    return next;
}

// "<id> <digest in Base64> <made> <expires or -> <recordings 0/1>", times in UTC ISO 8601.
QStringList ShareLinks::Lines() const
{
    QStringList lines;
    for (const ShareLink &link : links_) {
        lines << QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(link.id, QString::fromLatin1(link.tokenDigest.toBase64()),
                          link.made.toUTC().toString(Qt::ISODate),
                          link.expires.isValid() ? link.expires.toUTC().toString(Qt::ISODate) : QStringLiteral("-"))
                     .arg(link.mayWatchRecordings ? 1 : 0);
    }
    return lines;
}

void ShareLinks::SetLines(const QStringList &lines)
{
    links_.clear();
    for (const QString &line : lines) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        if (fields.size() != 5)
            continue;
        ShareLink link{
            fields[0], QByteArray::fromBase64(fields[1].toLatin1()), QDateTime::fromString(fields[2], Qt::ISODate),
            fields[3] == u"-" ? QDateTime() : QDateTime::fromString(fields[3], Qt::ISODate), fields[4] == u"1"};
        const bool expiryReadable = fields[3] == u"-" || link.expires.isValid();
        if (link.tokenDigest.size() == 32 && link.made.isValid() && expiryReadable && links_.size() < Most)
            links_.push_back(link);
    }
}
