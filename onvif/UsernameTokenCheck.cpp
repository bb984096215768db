#include "onvif/UsernameTokenCheck.h"

#include "base/ConstantTime.h"

#include <QCryptographicHash>

UsernameTokenCheck::Result UsernameTokenCheck::Check(const SoapRequest::UsernameToken &token,
                                                     const QByteArray &password, const QString &peer,
                                                     const QDateTime &now)
{
    const QDateTime created = QDateTime::fromString(token.created, Qt::ISODateWithMs);
    const qint64 nowSeconds = now.toSecsSinceEpoch();
    if (!created.isValid() || qAbs(created.toSecsSinceEpoch() - nowSeconds) > WindowSeconds || token.nonce.isEmpty())
        return Result::OutOfTime;
    const QByteArray expected =
        QCryptographicHash::hash(token.nonce + token.created.toUtf8() + password, QCryptographicHash::Sha1);
    if (!SameBytesInConstantTime(expected, QByteArray::fromBase64(token.password.toLatin1())))
        return Result::WrongPassword;
    forgetOld(nowSeconds);
    const auto seen = nonces_.constFind(token.nonce);
    if (seen != nonces_.constEnd())
        return seen->peer == peer && nowSeconds - seen->seconds <= ReuseSeconds ? Result::Admitted : Result::Replayed;
    if (nonces_.size() >= MostNonces)
        nonces_.clear();
    nonces_.insert(token.nonce, FirstUse{nowSeconds, peer});
    return Result::Admitted;
}

void UsernameTokenCheck::forgetOld(qint64 nowSeconds)
{
    for (auto nonce = nonces_.begin(); nonce != nonces_.end();) {
        if (nowSeconds - nonce.value().seconds > 2 * WindowSeconds)
            nonce = nonces_.erase(nonce);
        else
            ++nonce;
    }
}
