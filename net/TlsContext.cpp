#include "net/TlsContext.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

using namespace Qt::StringLiterals;

namespace {

// The last error OpenSSL queued, in its own words; the queue is left empty.
QString LastOpenSslError()
{
    unsigned long code = 0;
    unsigned long last = 0;
    while ((code = ERR_get_error()) != 0)
        last = code;
    if (last == 0)
        return u"unknown error"_s;
    const char *reason = ERR_reason_error_string(last);
    return reason ? QString::fromLatin1(reason) : u"error %1"_s.arg(last);
}

QString FingerprintOf(X509 *certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!X509_digest(certificate, EVP_sha256(), digest, &length))
        return {};
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex(':').toUpper());
}

void Configure(SSL_CTX *context)
{
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // TLS 1.2: only forward-secret AEAD suites; TLS 1.3's own are all of that kind.
    SSL_CTX_set_cipher_list(context, "ECDHE+AESGCM:ECDHE+CHACHA20");
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_SERVER);
    static const unsigned char sessionContext[] = "vantrel";
    SSL_CTX_set_session_id_context(context, sessionContext, sizeof sessionContext - 1);
}

} // namespace

TlsContext::~TlsContext() { SSL_CTX_free(context_); }

bool TlsContext::ExpiresWithinDays(int days) const
{
    time_t then = time(nullptr) + time_t(days) * 24 * 3600;
    return X509_cmp_time(X509_get0_notAfter(SSL_CTX_get0_certificate(context_)), &then) < 0;
}

std::shared_ptr<TlsContext> TlsContext::FromFiles(const QString &certificate, const QString &key, QString &failure)
{
    for (const QString &path : {certificate, key}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            failure = u"%1 cannot be read (%2)"_s.arg(path, file.errorString());
            return nullptr;
        }
    }
    ERR_clear_error();
    SSL_CTX *handle = SSL_CTX_new(TLS_server_method());
    if (!handle) {
        failure = LastOpenSslError();
        return nullptr;
    }
    std::shared_ptr<TlsContext> context(new TlsContext(handle));
    Configure(handle);
    const QByteArray certificateFile = QFile::encodeName(certificate);
    const QByteArray keyFile = QFile::encodeName(key);
    if (SSL_CTX_use_certificate_chain_file(handle, certificateFile.constData()) != 1) {
        failure = u"%1 holds no certificate (%2)"_s.arg(certificate, LastOpenSslError());
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(handle, keyFile.constData(), SSL_FILETYPE_PEM) != 1) {
        const unsigned long error = ERR_peek_last_error();
        if (ERR_GET_LIB(error) == ERR_LIB_X509 && ERR_GET_REASON(error) == X509_R_KEY_VALUES_MISMATCH)
            failure = u"the key in %1 is not the certificate's in %2"_s.arg(key, certificate);
        else
            failure = u"%1 holds no private key (%2)"_s.arg(key, LastOpenSslError());
        ERR_clear_error();
        return nullptr;
    }
    if (SSL_CTX_check_private_key(handle) != 1) {
        failure = u"the key in %1 is not the certificate's in %2"_s.arg(key, certificate);
        return nullptr;
    }
    X509 *leaf = SSL_CTX_get0_certificate(handle);
    if (X509_cmp_current_time(X509_get0_notAfter(leaf)) < 0) {
        failure = u"the certificate in %1 has expired"_s.arg(certificate);
        return nullptr;
    }
    if (X509_cmp_current_time(X509_get0_notBefore(leaf)) > 0) {
        failure = u"the certificate in %1 is not valid yet"_s.arg(certificate);
        return nullptr;
    }
    context->fingerprint_ = FingerprintOf(leaf);
    if (BIO *out = BIO_new(BIO_s_mem())) {
        if (PEM_write_bio_X509(out, leaf) == 1) {
            char *data = nullptr;
            const long length = BIO_get_mem_data(out, &data);
            context->pem_ = QByteArray(data, int(length));
        }
        BIO_free(out);
    }
    return context;
}
