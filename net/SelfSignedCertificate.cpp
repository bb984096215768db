#include "net/SelfSignedCertificate.h"

#include <QFile>
#include <QSaveFile>

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

template <typename T, void (*Free)(T *)> struct Deleter {
    void operator()(T *p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

bool AddExtension(X509 *certificate, int nid, const QByteArray &value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.constData());
    if (!extension)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

bool RandomSerial(X509 *certificate)
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return false;
    bytes[0] &= 0x7f; // a positive number
    BIGNUM *number = BN_bin2bn(bytes, sizeof bytes, nullptr);
    const bool set = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    return set;
}

QByteArray AlternativeNames(const QStringList &dnsNames, const QStringList &ipAddresses)
{
    QStringList names;
    for (const QString &name : dnsNames)
        names << u"DNS:"_s + name;
    for (const QString &address : ipAddresses)
        names << u"IP:"_s + address;
    return names.join(u',').toLatin1();
}

Certificate SignedFor(EVP_PKEY *key, const QString &commonName, const QByteArray &alternativeNames)
{
    Certificate certificate(X509_new());
    X509 *c = certificate.get();
    if (!c || X509_set_version(c, 2) != 1 || !RandomSerial(c))
        return nullptr;
    X509_gmtime_adj(X509_getm_notBefore(c), -3600); // a clock a little behind still accepts it
    X509_gmtime_adj(X509_getm_notAfter(c), long(selfsigned::ValidDays) * 24 * 3600);
    X509_NAME *name = X509_get_subject_name(c);
    const QByteArray cn = commonName.left(64).toUtf8();
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(cn.constData()), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>("Vantrel"), -1, -1, 0);
    X509_set_issuer_name(c, name);
    X509_set_pubkey(c, key);
    const bool extended = AddExtension(c, NID_basic_constraints, "critical,CA:FALSE") &&
                          AddExtension(c, NID_key_usage, "critical,digitalSignature") &&
                          AddExtension(c, NID_ext_key_usage, "serverAuth") &&
                          AddExtension(c, NID_subject_key_identifier, "hash") &&
                          (alternativeNames.isEmpty() || AddExtension(c, NID_subject_alt_name, alternativeNames));
    if (!extended || X509_sign(c, key, EVP_sha256()) == 0)
        return nullptr;
    return certificate;
}

template <typename Write> QByteArray PemOf(Write write)
{
    Bio out(BIO_new(BIO_s_mem()));
    if (!out || !write(out.get()))
        return {};
    char *data = nullptr;
    const long length = BIO_get_mem_data(out.get(), &data);
    return QByteArray(data, int(length));
}

QString Save(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(permissions) || file.write(bytes) != bytes.size() ||
        !file.commit())
        return u"%1 cannot be written (%2)"_s.arg(path, file.errorString());
    return {};
}

} // namespace

QString selfsigned::Make(const QString &certificatePath, const QString &keyPath, const QString &commonName,
                         const QStringList &dnsNames, const QStringList &ipAddresses)
{
    Key key(EVP_EC_gen("P-256"));
    if (!key)
        return u"no key could be made"_s;
    Certificate certificate = SignedFor(key.get(), commonName, AlternativeNames(dnsNames, ipAddresses));
    if (!certificate)
        return u"the certificate could not be signed"_s;
    const QByteArray keyPem = PemOf(
        [&](BIO *out) { return PEM_write_bio_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1; });
    const QByteArray certificatePem = PemOf([&](BIO *out) { return PEM_write_bio_X509(out, certificate.get()) == 1; });
    if (keyPem.isEmpty() || certificatePem.isEmpty())
        return u"the certificate could not be written out"_s;
    // The key first: a certificate without its key would be of no use.
    QString failure = Save(keyPath, keyPem, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (failure.isEmpty())
        failure =
            Save(certificatePath, certificatePem,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return failure;
}
