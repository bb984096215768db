#include "onvif/HttpDigest.h"

#include "base/ConstantTime.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

// The header's name="value" and name=token pairs, by their names in lower case.
std::map<QByteArray, QByteArray> pairsOf(const QByteArray &text)
{
    std::map<QByteArray, QByteArray> pairs;
    qsizetype at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == ','))
            ++at;
        const qsizetype equals = text.indexOf('=', at);
        if (equals < 0)
            break;
        const QByteArray name = text.mid(at, equals - at).trimmed().toLower();
        QByteArray value;
        at = equals + 1;
        if (at < text.size() && text[at] == '"') {
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && at + 1 < text.size())
                    ++at;
                value += text[at];
            }
            ++at;
        } else {
            const qsizetype end = text.indexOf(',', at);
            value = text.mid(at, end < 0 ? -1 : end - at).trimmed();
            at = end < 0 ? text.size() : end;
        }
        pairs[name] = value;
    }
    return pairs;
}

std::optional<QCryptographicHash::Algorithm> algorithmOf(const QByteArray &name)
{
    if (name.isEmpty() || name.compare("MD5", Qt::CaseInsensitive) == 0)
        return QCryptographicHash::Md5;
    if (name.compare("SHA-256", Qt::CaseInsensitive) == 0)
        return QCryptographicHash::Sha256;
    return std::nullopt;
}

QByteArray hexHash(QCryptographicHash::Algorithm algorithm, const QByteArray &text)
{
    return QCryptographicHash::hash(text, algorithm).toHex();
}

} // namespace

std::optional<HttpDigest::Credentials> HttpDigest::CredentialsOf(const QByteArray &authorization)
{
    const QByteArray value = authorization.trimmed();
    if (!value.startsWith("Digest "))
        return std::nullopt;
    std::map<QByteArray, QByteArray> pairs = pairsOf(value.mid(7));
    Credentials credentials;
    credentials.user = QString::fromUtf8(pairs["username"]);
    credentials.realm = pairs["realm"];
    credentials.nonce = pairs["nonce"];
    credentials.uri = pairs["uri"];
    credentials.algorithm = pairs["algorithm"];
    credentials.response = pairs["response"].toLower();
    credentials.qop = pairs["qop"];
    credentials.count = pairs["nc"];
    credentials.clientNonce = pairs["cnonce"];
    return credentials;
}

QByteArray HttpDigest::Challenges(const QDateTime &now, bool stale)
{
    QByteArray nonce(16, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(nonce.data()),
                                         reinterpret_cast<quint32 *>(nonce.data() + nonce.size()));
    nonce = nonce.toHex();
    nonces_[nonce] = Issued{now, 0};
    order_.push_back(nonce);
    while (order_.size() > KeptNonces) {
        nonces_.erase(order_.front());
        order_.pop_front();
    }
    QByteArray lines;
    for (const char *algorithm : {"SHA-256", "MD5"})
        lines += "WWW-Authenticate: Digest realm=\"" + Realm + "\", qop=\"auth\", algorithm=" + algorithm +
                 ", nonce=\"" + nonce + "\"" + (stale ? ", stale=true" : "") + "\r\n";
    return lines;
}

HttpDigest::Result HttpDigest::Check(const Credentials &credentials, const QByteArray &method,
                                     const QByteArray &requestTarget, const QByteArray &password, const QDateTime &now)
{
    const std::optional<QCryptographicHash::Algorithm> algorithm = algorithmOf(credentials.algorithm);
    bool counted = false;
    const quint64 count = credentials.count.toULongLong(&counted, 16);
    if (!algorithm || credentials.realm != Realm || credentials.qop != "auth" || !counted ||
        credentials.uri != requestTarget || credentials.clientNonce.isEmpty())
        return Result::Malformed;
    const auto issued = nonces_.find(credentials.nonce);
    if (issued == nonces_.end() || issued->second.at.secsTo(now) > NonceSeconds)
        return Result::Stale;
    const QByteArray known = hexHash(*algorithm, credentials.user.toUtf8() + ':' + Realm + ':' + password);
    const QByteArray request = hexHash(*algorithm, method + ':' + credentials.uri);
    const QByteArray expected =
        hexHash(*algorithm, known + ':' + credentials.nonce + ':' + credentials.count + ':' + credentials.clientNonce +
                                ':' + credentials.qop + ':' + request);
    if (!SameBytesInConstantTime(expected, credentials.response))
        return Result::WrongPassword;
    // A right answer once more, or out of turn, is a replay.
    if (count <= issued->second.lastCount)
        return Result::Stale;
    issued->second.lastCount = count;
    return Result::Admitted;
}
