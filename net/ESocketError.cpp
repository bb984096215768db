#include "net/ESocketError.h"

#include "net/SocketErrors.h"

ESocketError::ESocketError(const QString &message, int errorCode)
    : std::runtime_error(message.toStdString()), message_(message), errorCode_(errorCode)
{
}

ESocketError ESocketError::Platform(int errorCode, const char *api)
{
    return ESocketError(QStringLiteral("Windows socket error: %1 (%2), on API '%3'")
                            .arg(SocketErrors::Text(errorCode))
                            .arg(errorCode)
                            .arg(QString::fromLatin1(api)),
                        errorCode);
}

ESocketError ESocketError::Asynchronous(int errorCode)
{
    return ESocketError(QStringLiteral("Asynchronous socket error %1").arg(errorCode), errorCode);
}

ESocketError ESocketError::CantChangeWhileActive()
{
    return ESocketError(QStringLiteral("Can't change value while socket is active"));
}

ESocketError ESocketError::CantListenOnOpenSocket()
{
    return ESocketError(QStringLiteral("Can't listen on an open socket"));
}

ESocketError ESocketError::CantCreateSocket() { return ESocketError(QStringLiteral("Can't create new socket")); }

ESocketError ESocketError::AlreadyOpen() { return ESocketError(QStringLiteral("Socket already open")); }

ESocketError ESocketError::NoAddress() { return ESocketError(QStringLiteral("No address specified")); }
