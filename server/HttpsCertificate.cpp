#include "server/HttpsCertificate.h"

#include "net/SelfSignedCertificate.h"
#include "net/TlsContext.h"
#include "server/ComputerAddresses.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QDateTime ModifiedAt(const QString &path) { return QFileInfo(path).lastModified(); }

} // namespace

void HttpsCertificate::SetFiles(const QString &certificate, const QString &key)
{
    certificate_ = certificate;
    key_ = key;
}

QString HttpsCertificate::CertificatePath() const
{
    return UsersOwn() ? certificate_ : ownFolder_ + u"/vantrel-https-certificate.pem"_s;
}

QString HttpsCertificate::KeyPath() const { return UsersOwn() ? key_ : ownFolder_ + u"/vantrel-https-key.pem"_s; }

std::shared_ptr<TlsContext> HttpsCertificate::Load(QString &failure, bool &made)
{
    made = false;
    if (UsersOwn() && key_.isEmpty()) {
        failure = u"a certificate is named but no key (HttpsKey)"_s;
        return nullptr;
    }
    std::shared_ptr<TlsContext> context;
    if (UsersOwn() || QFileInfo::exists(CertificatePath()))
        context = TlsContext::FromFiles(CertificatePath(), KeyPath(), failure);
    if (!UsersOwn() && (!context || context->ExpiresWithinDays(RenewDays))) {
        context = makeOwn(failure);
        made = context != nullptr;
    }
    certificateTime_ = ModifiedAt(CertificatePath());
    keyTime_ = ModifiedAt(KeyPath());
    return context;
}

bool HttpsCertificate::Changed() const
{
    return ModifiedAt(CertificatePath()) != certificateTime_ || ModifiedAt(KeyPath()) != keyTime_;
}

std::shared_ptr<TlsContext> HttpsCertificate::makeOwn(QString &failure)
{
    if (!QDir().mkpath(ownFolder_)) {
        failure = u"the folder %1 cannot be made"_s.arg(ownFolder_);
        return nullptr;
    }
    const QString host = computer::HostName().value_or(u"localhost"_s);
    QStringList names{host};
    if (host != u"localhost"_s)
        names << u"localhost"_s;
    QStringList addresses = computer::Addresses();
    if (!addresses.contains(u"127.0.0.1"_s))
        addresses << u"127.0.0.1"_s;
    failure = selfsigned::Make(CertificatePath(), KeyPath(), host, names, addresses);
    if (!failure.isEmpty())
        return nullptr;
    return TlsContext::FromFiles(CertificatePath(), KeyPath(), failure);
}
