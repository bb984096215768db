#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <deque>
#include <map>
#include <optional>

// HTTP Digest login, as recorders that do not sign their SOAP requests use it: the answer to
// a challenge proves the password without sending it (SHA-256 or MD5, quality of protection
// "auth"). Each nonce is one this program gave within the last NonceSeconds, and each of its
// uses counts up, so a captured answer cannot be sent again; KeptNonces at most are known, the
// oldest forgotten first.
class HttpDigest {
public:
    enum class Result { Admitted, WrongPassword, Stale, Malformed };

    struct Credentials {
        QString user;
        QByteArray realm, nonce, uri, algorithm, response, qop, count, clientNonce;
    };

    // The credentials of an Authorization header's value, if they are Digest ones.
    static std::optional<Credentials> CredentialsOf(const QByteArray &authorization);

    // The WWW-Authenticate header lines of a 401 answer, one for each algorithm, with a new
    // nonce; `stale` tells the client its password was right but the nonce too old.
    QByteArray Challenges(const QDateTime &now, bool stale = false);
    Result Check(const Credentials &credentials, const QByteArray &method, const QByteArray &requestTarget,
                 const QByteArray &password, const QDateTime &now);

    static constexpr qint64 NonceSeconds = 300;
    static constexpr size_t KeptNonces = 256;
    static inline const QByteArray Realm = QByteArrayLiteral("Vantrel");

private:
    struct Issued {
        QDateTime at;
        quint64 lastCount = 0;
    };
    std::map<QByteArray, Issued> nonces_;
    std::deque<QByteArray> order_;
};
