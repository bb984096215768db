#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// What a recorder's SOAP request asks: the operation (the first element in the Body), the
// values below it by their local names, and the WS-Security user name token if it carries
// one. Read with a streaming reader that refuses document type declarations (so no entity is
// ever expanded) and bodies over MaxBytes.
struct SoapRequest {
    struct UsernameToken {
        QString user;
        QString password;
        bool digest = false; // the password is Base64(SHA-1(nonce + created + password))
        QByteArray nonce;
        QString created;
    };

    QString operation;
    QString operationNamespace;
    // The first text of each element below the operation, by its local name.
    QHash<QString, QString> values;
    std::optional<UsernameToken> token;

    static constexpr qsizetype MaxBytes = 64 * 1024;
};

// The request, or none with what was wrong with it.
std::optional<SoapRequest> ParseSoapRequest(const QByteArray &body, QString &problem);
