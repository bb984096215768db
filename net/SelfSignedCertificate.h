#pragma once

#include <QString>
#include <QStringList>

// A certificate the program signs itself, for HTTPS without one from an authority: an ECDSA
// P-256 key and a certificate for the computer's names and addresses (subject alternative
// names), valid for two years.
namespace selfsigned {

constexpr int ValidDays = 730;

// Writes both as PEM, the key readable by its owner only (made so before the key is written).
// Empty on success, else why not.
QString Make(const QString &certificatePath, const QString &keyPath, const QString &commonName,
             const QStringList &dnsNames, const QStringList &ipAddresses);

} // namespace selfsigned
