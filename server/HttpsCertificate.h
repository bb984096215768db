#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

class TlsContext;

// The certificate HTTPS serves with: the user's own PEM files when both are named, else one
// the program makes on first use in its own folder (beside the settings file) for the
// computer's names and addresses, made again when it is unusable or about to expire.
class HttpsCertificate {
public:
    explicit HttpsCertificate(QString ownFolder) : ownFolder_(std::move(ownFolder)) {}

    // The user's files, or two empty paths for the program's own.
    void SetFiles(const QString &certificate, const QString &key);
    bool UsersOwn() const { return !certificate_.isEmpty(); }
    QString CertificatePath() const;
    QString KeyPath() const;

    // The context for new connections, or null with the reason. `made` tells whether the
    // program's own certificate was made for it.
    std::shared_ptr<TlsContext> Load(QString &failure, bool &made);
    // The files in use have changed since the last Load, as after a renewal.
    bool Changed() const;

    // The program's own certificate is made again this long before it expires.
    static constexpr int RenewDays = 30;

private:
    std::shared_ptr<TlsContext> makeOwn(QString &failure);

    QString ownFolder_;
    QString certificate_;
    QString key_;
    QDateTime certificateTime_;
    QDateTime keyTime_;
};
