#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

using ssl_ctx_st = struct ssl_ctx_st;

// A server's TLS settings with its certificate and key, read from PEM files: TLS 1.2 and 1.3
// only, forward-secret AEAD ciphers, no renegotiation, sessions resumed. Shared by every
// connection made while it is current; a new one replaces it after a renewal.
class TlsContext {
public:
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    // The context, or null with the reason (file missing or unreadable, not PEM, expired,
    // the key not the certificate's).
    static std::shared_ptr<TlsContext> FromFiles(const QString &certificate, const QString &key, QString &failure);

    ssl_ctx_st *Handle() const { return context_; }
    // The certificate's SHA-256 fingerprint as "AB:CD:...", as openssl x509 -fingerprint shows it.
    QString Fingerprint() const { return fingerprint_; }
    // The certificate in PEM, for clients that are to trust it.
    QByteArray CertificatePem() const { return pem_; }
    bool ExpiresWithinDays(int days) const;

private:
    explicit TlsContext(ssl_ctx_st *context) : context_(context) {}

    ssl_ctx_st *context_;
    QString fingerprint_;
    QByteArray pem_;
};
