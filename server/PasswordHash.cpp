#include "server/PasswordHash.h"

#include <QStringList>

#include <optional>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int SaltBytes = 16;
constexpr int HashBytes = 32;
const QString Scheme = u"pbkdf2-sha256"_s;

QByteArray Derive(const QByteArray &password, const QByteArray &salt, int iterations)
{
    QByteArray hash(HashBytes, Qt::Uninitialized);
    const bool done =
        PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                          reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), iterations,
                          EVP_sha256(), HashBytes, reinterpret_cast<unsigned char *>(hash.data())) == 1;
    return done ? hash : QByteArray();
}

struct Parts {
    int iterations = 0;
    QByteArray salt;
    QByteArray hash;
};

std::optional<Parts> Split(const QString &line)
{
    const QStringList fields = line.split(u'$');
    if (fields.size() != 4 || fields[0] != Scheme)
        return std::nullopt;
    bool number = false;
    Parts parts;
    parts.iterations = fields[1].toInt(&number);
    parts.salt = QByteArray::fromBase64(fields[2].toLatin1());
    parts.hash = QByteArray::fromBase64(fields[3].toLatin1());
    // A count far below ours would make the check cheap; one far above, a way to stall it.
    if (!number || parts.iterations < 10000 || parts.iterations > 10 * passwordhash::Iterations ||
        parts.salt.size() < 8 || parts.hash.size() != HashBytes)
        return std::nullopt;
    return parts;
}

} // namespace

QString passwordhash::Make(const QString &password)
{
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), SaltBytes) != 1)
        return {};
    const QByteArray hash = Derive(password.toUtf8(), salt, Iterations);
    if (hash.isEmpty())
        return {};
    return u"%1$%2$%3$%4"_s.arg(Scheme)
        .arg(Iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(hash.toBase64()));
}

bool passwordhash::Matches(const QString &line, const QByteArray &password)
{
    const std::optional<Parts> parts = Split(line);
    if (!parts)
        return false;
    const QByteArray given = Derive(password, parts->salt, parts->iterations);
    return given.size() == HashBytes && CRYPTO_memcmp(given.constData(), parts->hash.constData(), HashBytes) == 0;
}

bool passwordhash::IsHash(const QString &text) { return Split(text).has_value(); }
