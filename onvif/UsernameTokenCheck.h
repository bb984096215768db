#pragma once

#include "onvif/SoapRequest.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>

// Checks a WS-Security user name token with a password digest: Base64(SHA-1(nonce + created +
// password)), its creation time near this computer's, and its nonce not seen before within
// that window (a token overheard and sent again is refused). Some recorders send one token
// with the few requests of one step: the same address may use a token again for
// ReuseSeconds after its first use, no other address ever. Nonces are remembered for the
// window only, and MostNonces at most.
class UsernameTokenCheck {
public:
    enum class Result { Admitted, WrongPassword, OutOfTime, Replayed };

    Result Check(const SoapRequest::UsernameToken &token, const QByteArray &password, const QString &peer,
                 const QDateTime &now);

    static constexpr qint64 WindowSeconds = 5 * 60;
    static constexpr qint64 ReuseSeconds = 10;
    static constexpr qsizetype MostNonces = 4096;

private:
    struct FirstUse {
        qint64 seconds;
        QString peer;
    };
    void forgetOld(qint64 nowSeconds);

    QHash<QByteArray, FirstUse> nonces_;
};
